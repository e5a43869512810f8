#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class PlatformTest : public testing::Test {
protected:
    std::unique_ptr<Platform> platform = MakePlatform();
    TempFolder temp;
};

TEST_F(PlatformTest, ExecutableSuffixAndPathSeparator) {
#ifdef _WIN32
    EXPECT_EQ(platform->ExeSuffix(), ".exe");
    EXPECT_EQ(platform->PathListSeparator(), ';');
#else
    EXPECT_EQ(platform->ExeSuffix(), "");
    EXPECT_EQ(platform->PathListSeparator(), ':');
#endif
}

TEST_F(PlatformTest, GetEnvReadsUnsetAndEmptyAsNothing) {
    test::UnsetTestEnv("LAUNCHER_TEST_UNSET");
    EXPECT_EQ(platform->GetEnv("LAUNCHER_TEST_UNSET"), "");
    test::SetTestEnv("LAUNCHER_TEST_VALUE", "C:\\Program Files\\M\xC3\xBCsik");
    EXPECT_EQ(platform->GetEnv("LAUNCHER_TEST_VALUE"), "C:\\Program Files\\M\xC3\xBCsik");
    test::SetTestEnv("LAUNCHER_TEST_EMPTY", "");
    EXPECT_EQ(platform->GetEnv("LAUNCHER_TEST_EMPTY"), "");
}

TEST_F(PlatformTest, GetEnvReadsALongValueWhole) {
#ifdef _WIN32
    const size_t length = 32766;  // the most a Windows variable holds under Wine
#else
    const size_t length = 40000;
#endif
    std::string value;
    for (size_t i = 0; i < length; ++i) value += static_cast<char>('a' + i % 26);
    test::SetTestEnv("LAUNCHER_TEST_LONG", value);
    EXPECT_EQ(platform->GetEnv("LAUNCHER_TEST_LONG"), value);
}

TEST_F(PlatformTest, HardLinkSharesTheFile) {
    WriteFile(temp / "disc.iso", "image");
    ASSERT_TRUE(platform->HardLink(temp / "linked.iso", temp / "disc.iso"));
    EXPECT_EQ(ReadFile(temp / "linked.iso"), "image");
    {
        std::ofstream append(temp / "linked.iso", std::ios::binary | std::ios::app);
        append << " and more";
    }
    EXPECT_EQ(ReadFile(temp / "disc.iso"), "image and more");
}

TEST_F(PlatformTest, HardLinkFailsWithoutTheFileOrOverAnother) {
    EXPECT_FALSE(platform->HardLink(temp / "linked.iso", temp / "missing.iso"));
    EXPECT_FALSE(fs::exists(temp / "linked.iso"));
    WriteFile(temp / "disc.iso", "image");
    WriteFile(temp / "taken.iso", "user's");
    EXPECT_FALSE(platform->HardLink(temp / "taken.iso", temp / "disc.iso"));
    EXPECT_EQ(ReadFile(temp / "taken.iso"), "user's");
}

struct StartCase {
    const char* name;
    const char* folder;
    const char* program;
};

class StartTest : public PlatformTest, public testing::WithParamInterface<StartCase> {};

TEST_P(StartTest, StartsTheProgramInItsFolderAndDoesNotWait) {
    const fs::path folder = temp / Utf8Path(GetParam().folder);
    fs::create_directories(folder);
    const fs::path program = folder / Utf8Path(GetParam().program + platform->ExeSuffix());
    fs::copy_file(test::HelperChildPath(), program);
    const fs::path record = temp / "record.txt";
    test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));

    std::string error = "untouched";
    const bool started = platform->Start(program, folder, error);
    test::UnsetTestEnv("HELPER_RECORD");
    ASSERT_TRUE(started) << error;
    EXPECT_EQ(error, "untouched");

    const std::vector<std::string> lines = test::WaitForRecord(record);
    ASSERT_EQ(lines.size(), 2u) << "the program did not run";
    const std::string path = PathToUtf8(program);
#ifdef _WIN32
    const bool blank = path.find(' ') != std::string::npos;
    EXPECT_EQ(lines[0], blank ? "\"" + path + "\"" : path);
#else
    EXPECT_EQ(lines[0], path);
#endif
    EXPECT_TRUE(fs::equivalent(Utf8Path(lines[1]), folder)) << lines[1];
}

INSTANTIATE_TEST_SUITE_P(Paths, StartTest,
                         testing::Values(StartCase{"plain", "game", "helper"},
                                         StartCase{"blanks", "my game", "the helper"},
                                         StartCase{"non_ascii", "M\xC3\xBCsik", "helper"}),
                         test::CaseName());

TEST_F(PlatformTest, StartOfAMissingProgramSaysWhy) {
    std::string error;
    EXPECT_FALSE(platform->Start(temp / ("missing" + platform->ExeSuffix()), temp.path(), error));
    const std::string head = "Could not start the game (2: ";  // "file not found" on both systems
    EXPECT_EQ(error.substr(0, head.size()), head) << error;
    EXPECT_EQ(error.back(), ')');
}

}  // namespace
}  // namespace launcher
