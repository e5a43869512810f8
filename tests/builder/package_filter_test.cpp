#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "builder/package_unpack.h"
#include "builder/protected_folders.h"
#include "tests/support/case_name.h"

namespace launcher {
namespace {

struct FilterCase {
    std::string name;
    std::string entry;
    std::string kept;  // "" when skipped
};

class PackageEntryFilterTest : public testing::TestWithParam<FilterCase> {};

TEST_P(PackageEntryFilterTest, Maps) { EXPECT_EQ(PackageEntryFilter(GetParam().entry), GetParam().kept); }

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

}  // namespace
}  // namespace launcher
