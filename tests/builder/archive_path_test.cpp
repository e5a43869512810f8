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
    // Names the system would cut at a NUL or not write as given, and names of the destination itself.
    const std::vector<std::pair<const char*, std::string>> unsafe = {
        {"nul_byte_last", std::string("nul\0", 4)},
        {"nul_byte_after_a_dot", std::string("dots.\0", 6)},
        {"nul_byte_inside", std::string("written.txt\0.hidden", 19)},
        {"nul_byte_in_a_folder", std::string("bin\0x/game.dll", 14)},
        {"line_feed", "a\nb"},
        {"carriage_return", "a\r"},
        {"tab", "a\tb"},
        {"escape", "\x1b[0m.txt"},
        {"unit_separator", "x\x1f"},
        {"dot", "."},
        {"dot_slash", "./"},
        {"dots_and_separators", ".//./"},
        {"dot_backslash_dot", ".\\."},
    };
    for (const auto& [name, entry] : unsafe) cases.push_back({name, entry, false});
    const std::vector<std::pair<const char*, const char*>> safe = {
        {"dot_first", "./x"},
        {"doubled_separator", "a//x"},
        {"trailing_separator", "a/"},
        {"dot_then_a_name", "././x"},
        {"blank_inside", "a b.txt"},
        {"delete_and_high_bytes", "a\x7f\xc3\xa9"},
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
