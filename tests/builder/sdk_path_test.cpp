// The Windows SDK's installer fails in a folder with a long path: the test a first build makes
// before anything else. Lengths count UTF-16 code units in both builds.
#include <gtest/gtest.h>

#include "builder/builder.h"
#include "platform/text.h"
#include "tests/support/case_name.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

#ifdef _WIN32
constexpr char kRoot[] = "C:\\";
#else
constexpr char kRoot[] = "/";
#endif
constexpr char kNotInTheBasicPlane[] = "\xF0\x9F\x8E\xAE";  // U+1F3AE, two UTF-16 code units
constexpr char kAccent[] = "\xC3\xA9";                      // U+00E9, one code unit in two bytes

struct PathCase {
    const char* name;
    size_t ascii;        // ASCII characters after the root
    const char* ending;  // UTF-8 after them
    size_t units;        // the whole path's length in UTF-16 code units
};

class SdkPathTest : public testing::TestWithParam<PathCase> {};

TEST_P(SdkPathTest, AtMost80CodeUnitsPass) {
    const PathCase& c = GetParam();
    const fs::path base = Utf8Path(kRoot + std::string(c.ascii, 'a') + c.ending);
    const std::unique_ptr<Platform> platform = MakePlatform();
    Game game;
    game.shortName = "Velmora2";
    Builder builder(game, base, nullptr, platform.get());
    std::string error = "untouched";
    const bool tooLong = builder.PathTooLongForSdk(error);
    if (c.units <= 80) {
        EXPECT_FALSE(tooLong);
        EXPECT_EQ(error, "untouched");
        return;
    }
    EXPECT_TRUE(tooLong);
    EXPECT_EQ(error, "This folder's path is too long for Microsoft's Windows SDK installer (" +
                         std::to_string(c.units) + " characters, at most 80): " + PathToUtf8(base) +
                         ". Move Velmora2Launcher.exe to a short folder, such as C:\\Games\\Velmora2, and run it "
                         "from there.");
}

constexpr size_t kRootLength = sizeof kRoot - 1;

INSTANTIATE_TEST_SUITE_P(Paths, SdkPathTest,
                         testing::Values(PathCase{"eighty_pass", 80 - kRootLength, "", 80},
                                         PathCase{"eighty_one_fail", 81 - kRootLength, "", 81},
                                         PathCase{"one_character_in_two_bytes_counts_once", 79 - kRootLength, kAccent,
                                                  80},
                                         PathCase{"one_character_beyond_the_basic_plane_counts_twice", 79 - kRootLength,
                                                  kNotInTheBasicPlane, 81},
                                         PathCase{"it_fits_at_eighty", 78 - kRootLength, kNotInTheBasicPlane, 80}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
