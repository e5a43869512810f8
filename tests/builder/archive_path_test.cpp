#include "builder/archive_path.h"

#include <gtest/gtest.h>

#include <system_error>
#include <vector>

#include "platform/text.h"
#include "tests/builder/archive_names.h"
#include "tests/support/case_name.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

struct SafetyCase {
    std::string name;
    std::string entry;
    bool safe;
};

std::vector<SafetyCase> SafetyCases() {
    std::vector<SafetyCase> cases;
    for (const test::ArchiveName& unsafe : test::kUnsafeNames) cases.push_back({unsafe.name, unsafe.entry, false});
    const std::vector<std::pair<const char*, const char*>> safe = {
        {"dot_first", "./x"},
        {"doubled_separator", "a//x"},
        {"trailing_separator", "a/"},
        {"dot", "."},
        {"dots_in_a_name", "..x"},
        {"dot_name", ".toml"},
        {"port_ten", "com10"},
        {"device_prefix", "console"},
        {"nested", "bin/x64/game.dll"},
        {"backslashes", "a\\b\\c"},
        {"non_ascii", "M\xC3\xBCnchen/\xE6\x97\xA5.txt"},
        {"protected_folder", "hdd/E/save.dat"},
        {"dot_inside", "a.b/c"},
    };
    for (const auto& [name, entry] : safe) cases.push_back({name, entry, true});
    return cases;
}

class IsSafeRelativePathTest : public testing::TestWithParam<SafetyCase> {};

TEST_P(IsSafeRelativePathTest, Decides) { EXPECT_EQ(IsSafeRelativePath(GetParam().entry), GetParam().safe); }

INSTANTIATE_TEST_SUITE_P(Cases, IsSafeRelativePathTest, testing::ValuesIn(SafetyCases()), test::CaseName());

TEST(JoinPathTest, BothSeparatorsSplitOnEveryPlatform) {
    const fs::path destination = fs::path("out");
    EXPECT_EQ(JoinPath(destination, "a\\b/c.txt"), destination / "a" / "b" / "c.txt");
    EXPECT_EQ(JoinPath(destination, "./a//b/"), destination / "a" / "b");
}

TEST(JoinPathTest, NamesAreUtf8) {
    const std::string munich = "M\xC3\xBCnchen";
    EXPECT_EQ(JoinPath(fs::path("out"), munich + "/x"), fs::path("out") / Utf8Path(munich) / "x");
    EXPECT_THROW(JoinPath(fs::path("out"), "bad-\xFF\xFE.txt"), std::system_error);
}

}  // namespace
}  // namespace launcher
