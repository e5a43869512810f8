#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "builder/package_unpack.h"
#include "builder/protected_folders.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include "tests/support/short_name.h"
#endif

namespace launcher {
namespace {

struct FilterCase {
    std::string name;
    std::string entry;
    std::string kept;  // "" when skipped
};

class PackageEntryFilterTest : public testing::TestWithParam<FilterCase> {};

// Against an empty play folder: the names alone decide.
TEST_P(PackageEntryFilterTest, Maps) {
    const test::TempFolder play;
    PackageEntryFilter filter(play.path());
    EXPECT_EQ(filter(GetParam().entry), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PackageEntryFilterTest,
    testing::Values(FilterCase{"dot_slash_removed", "./bin/game.dll", "bin/game.dll"},
                    FilterCase{"hard_disk", "./hdd/E/save.dat", ""}, FilterCase{"hard_disk_upper", "HDD/x", ""},
                    FilterCase{"assets_capital", "Assets/y", ""}, FilterCase{"file_named_hdd", "hdd", "hdd"},
                    FilterCase{"build_work", std::string(kPackageWorkFolder) + "/obj.o", ""},
                    FilterCase{"build_cache", "compiler/cache.bin", "compiler/cache.bin"},
                    FilterCase{"settings", "settings.toml", ""}, FilterCase{"settings_upper", "Game.TOML", ""},
                    FilterCase{"nested_settings", "docs/settings.toml", "docs/settings.toml"},
                    FilterCase{"bare_extension", ".toml", ".toml"}, FilterCase{"dots_inside", "a..b/c.txt", ""},
                    FilterCase{"rooted_after_dot_slash", ".//x", ""}, FilterCase{"drive", "D:x", ""},
                    FilterCase{"logs_folder_entry", "logs/", ""}, FilterCase{"empty", "", ""},
                    FilterCase{"rooted", "/x", ""}, FilterCase{"stream", "bin/game.dll:evil", ""},
                    FilterCase{"case_kept", "Bin/Game.DLL", "Bin/Game.DLL"}),
    test::CaseName());

std::string WithDoubledSeparators(std::string_view folder) {
    std::string doubled;
    for (char c : folder) doubled += c == '/' ? std::string("//") : std::string(1, c);
    return doubled;
}

// Names that Windows rewrites or that hide behind extra "./" and empty components.
INSTANTIATE_TEST_SUITE_P(Mended, PackageEntryFilterTest,
                         testing::Values(FilterCase{"trailing_dot_folder", "hdd./E/save.dat", ""},
                                         FilterCase{"trailing_blank_folder", "Logs /x", ""},
                                         FilterCase{"device", "NUL", ""},
                                         FilterCase{"device_with_extension", "nul.txt", ""},
                                         FilterCase{"device_inside", "bin/aux.dll", ""},
                                         FilterCase{"twice_dot_slash", "././hdd/E/save.dat", ""},
                                         FilterCase{"doubled_separator", WithDoubledSeparators(kPackageWorkFolder) + "/x", ""},
                                         FilterCase{"twice_dot_slash_settings", "././settings.toml", ""},
                                         FilterCase{"dot_component_settings", "././/settings.toml", ""},
                                         FilterCase{"twice_dot_slash_kept", "././bin/game.dll", "./bin/game.dll"},
                                         FilterCase{"side_folder", ".next/x", ""},
                                         FilterCase{"side_folder_upper", "./.NEXT/bin/game.dll", ""},
                                         FilterCase{"side_folder_doubled", "././/.next//x", ""},
                                         FilterCase{"side_folder_entry", ".next/", ""},
                                         FilterCase{"file_named_like_the_side_folder", ".next", ""}),
                         test::CaseName());

// Every protected folder in three cases, behind up to three "./", in every spelling that reaches
// the folder on some system; and beside them names that only look like one.
std::vector<FilterCase> GeneratedCases() {
    std::vector<std::string> folders;
    for (std::string_view folder : kProtectedFolders) folders.emplace_back(folder);
    folders.emplace_back(kPackageWorkFolder);
    const std::vector<std::pair<const char*, const char*>> forms = {
        {"file", "/x"},          {"doubled", "//x"},        {"dot", "/./x"},
        {"trailing_dot", "./x"}, {"trailing_blank", " /x"}, {"dot_blank", ". /x"},
        {"folder_entry", "/"},
    };
    const std::vector<const char*> leads = {"", "./", "././", "./././"};
    std::vector<FilterCase> cases;
    for (const std::string& folder : folders) {
        std::string upper = folder;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::string title = folder;
        title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
        const std::vector<std::pair<const char*, std::string>> spellings = {
            {"lower", folder}, {"upper", upper}, {"title", title}};
        std::string id = folder;
        std::replace(id.begin(), id.end(), '/', '_');
        for (const auto& [caseName, spelling] : spellings) {
            for (size_t lead = 0; lead < leads.size(); ++lead) {
                for (const auto& [formName, form] : forms) {
                    cases.push_back({id + "_" + caseName + "_lead" + std::to_string(lead) + "_" + formName,
                                     leads[lead] + spelling + form, ""});
                }
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Generated, PackageEntryFilterTest, testing::ValuesIn(GeneratedCases()), test::CaseName());

INSTANTIATE_TEST_SUITE_P(Decoys, PackageEntryFilterTest,
                         testing::Values(FilterCase{"file_hdd", "hdd", "hdd"},
                                         FilterCase{"dot_slash_hdd", "./hdd", "hdd"},
                                         FilterCase{"longer_name", "hddx/y", "hddx/y"},
                                         FilterCase{"nested_settings", "docs/settings.toml", "docs/settings.toml"},
                                         FilterCase{"bare_extension", ".toml", ".toml"},
                                         FilterCase{"build_cache", "compiler/cache.bin", "compiler/cache.bin"},
                                         FilterCase{"longer_than_the_side_folder", ".nextx/y", ".nextx/y"},
                                         FilterCase{"side_folder_below_the_top", "bin/.next/x", "bin/.next/x"}),
                         test::CaseName());

struct TopLevelCase {
    const char* name;
    const char* entry;
    bool protectedName;
};

class ProtectedTopLevelNameTest : public testing::TestWithParam<TopLevelCase> {};

TEST_P(ProtectedTopLevelNameTest, Decides) {
    EXPECT_EQ(IsProtectedTopLevelName(GetParam().entry), GetParam().protectedName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ProtectedTopLevelNameTest,
    testing::Values(TopLevelCase{"hard_disk", "hdd", true}, TopLevelCase{"hard_disk_upper", "HDD", true},
                    TopLevelCase{"disc", "Assets", true}, TopLevelCase{"logs", "logs", true},
                    TopLevelCase{"screenshots", "screenshots", true}, TopLevelCase{"captures", "CAPTURES", true},
                    TopLevelCase{"side_folder", ".next", true}, TopLevelCase{"side_folder_upper", ".NEXT", true},
                    TopLevelCase{"settings", "settings.toml", true}, TopLevelCase{"settings_upper", "Game.TOML", true},
                    TopLevelCase{"shortest_settings", "x.toml", true}, TopLevelCase{"bare_extension", ".toml", false},
                    TopLevelCase{"longer_name", "hddx", false},
                    TopLevelCase{"screenshots_and_more", "screenshots2", false},
                    TopLevelCase{"build_folder", "compiler", false}, TopLevelCase{"stamp", "package.stamp", false},
                    TopLevelCase{"library", "Velmora2.dll", false}, TopLevelCase{"short_name_form", "SCREEN~1", false}),
    test::CaseName());

#ifdef _WIN32
using test::ShortNameOf;

// Entries named by the short name of one of the user's folders or settings files in the play
// folder are skipped; the short name of a folder of the game's own is unpacked.
TEST(PackageEntryFilterShortNameTest, ShortNamesOfTheUsersEntriesAreSkipped) {
    const test::TempFolder play;
    test::WriteFile(play / "screenshots" / "shot.png", "the user's screenshot");
    test::WriteFile(play / "settings.toml", "the user's settings");
    test::WriteFile(play / "gamedatafolder" / "x.bin", "the game's own");
    const std::string screenshots = ShortNameOf(play / "screenshots");
    const std::string settings = ShortNameOf(play / "settings.toml");
    const std::string data = ShortNameOf(play / "gamedatafolder");
    ASSERT_FALSE(AsciiEqualIgnoringCase(screenshots, "screenshots")) << "no short names on this volume";
    ASSERT_FALSE(AsciiEqualIgnoringCase(settings, "settings.toml"));
    ASSERT_FALSE(AsciiEqualIgnoringCase(data, "gamedatafolder"));

    PackageEntryFilter filter(play.path());
    EXPECT_EQ(filter(screenshots + "/x.png"), "") << screenshots;
    EXPECT_EQ(filter("./" + screenshots + "/y.png"), "") << screenshots;
    EXPECT_EQ(filter(settings), "") << settings;
    EXPECT_EQ(filter(data + "/x.bin"), data + "/x.bin");
    EXPECT_EQ(filter("bin/" + screenshots), "bin/" + screenshots);
}
#endif

}  // namespace
}  // namespace launcher
