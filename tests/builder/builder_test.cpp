#include "builder/builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::TempFolder;
using test::WriteFile;

struct SizeCase {
    const char* name;
    std::uint64_t bytes;
    const char* text;
};

class FormatSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(FormatSizeTest, Formats) { EXPECT_EQ(FormatSize(GetParam().bytes), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Cases, FormatSizeTest,
                         testing::Values(SizeCase{"zero", 0, "0 MB"}, SizeCase{"just_over_half", 524289, "1 MB"},
                                         SizeCase{"clang_archive", 845236708, "806 MB"},
                                         SizeCase{"just_below_a_gigabyte", 1073741823, "1024 MB"},
                                         SizeCase{"a_gigabyte", 1073741824, "1.0 GB"},
                                         SizeCase{"large", 5ull * 1073741824 + 536870912, "5.5 GB"}),
                         test::CaseName());

class BuilderTest : public testing::Test {
protected:
    std::vector<std::string> LogFileLines() { return test::ReadLines(base / "launcher.log"); }

    // The file's lines without their time prefix, each checked to have one.
    std::vector<std::string> LoggedTexts() {
        static const std::regex timed(R"(^\d\d:\d\d:\d\d (.*)$)");
        std::vector<std::string> texts;
        for (const std::string& line : LogFileLines()) {
            std::smatch match;
            EXPECT_TRUE(std::regex_match(line, match, timed)) << line;
            texts.push_back(match[1]);
        }
        return texts;
    }

    TempFolder temp;
    fs::path base = temp / "Velmora2";
    std::unique_ptr<Platform> platform = MakePlatform();
    std::unique_ptr<Http> http = MakeHttp();
    Game game;
    std::unique_ptr<Builder> builder;

    void SetUp() override {
        game.shortName = game.exe = "Velmora2";
        builder = std::make_unique<Builder>(game, base, http.get(), platform.get());
    }
};

TEST_F(BuilderTest, StartsEmpty) {
    EXPECT_FALSE(builder->cancel);
    EXPECT_EQ(builder->phase, 0);
    EXPECT_TRUE(builder->stages.empty());
    EXPECT_TRUE(builder->builtinToolList.empty());
    EXPECT_EQ(builder->game.exe, "Velmora2");
    EXPECT_EQ(builder->http, http.get());
    EXPECT_EQ(builder->platform, platform.get());
}

TEST_F(BuilderTest, ReportsGoToTheCallbackOnceItIsSet) {
    builder->Report("dropped", "", 0.5);
    std::vector<Status> seen;
    builder->statusCallback = [&](const Status& status) { seen.push_back(status); };
    builder->Report("Downloading LLVM", "12 MB of 806 MB", 0.25);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Downloading LLVM");
    EXPECT_EQ(seen[0].detail, "12 MB of 806 MB");
    EXPECT_EQ(seen[0].fraction, 0.25);
    EXPECT_EQ(Status{}.fraction, -1.0);
}

TEST_F(BuilderTest, TheFirstLogLineMakesTheBaseFolder) {
    std::vector<std::string> seen;
    builder->logCallback = [&](const std::string& line) { seen.push_back(line); };
    builder->Log("game chosen: M\xC3\xBCnchen.iso");
    EXPECT_TRUE(fs::is_directory(base));
    EXPECT_THAT(LoggedTexts(), testing::ElementsAre("game chosen: M\xC3\xBCnchen.iso"));
    EXPECT_THAT(seen, testing::ElementsAre("game chosen: M\xC3\xBCnchen.iso"));
}

// Text from outside cannot forge a line of its own: each event is one line, its control
// characters escaped, in the file and for the callback alike.
TEST_F(BuilderTest, ControlCharactersAreLoggedEscaped) {
    const struct {
        std::string text;
        std::string logged;
    } cases[] = {
        {"update check: v1.2\n12:00:00 play at start: forged", "update check: v1.2\\n12:00:00 play at start: forged"},
        {"tag v1\r\nx", "tag v1\\r\\nx"},
        {std::string("nul \0 esc \x1b[31m del \x7f", 21), "nul \\x00 esc \\x1b[31m del \\x7f"},
        {"a\tb M\xC3\xBCnchen", "a\tb M\xC3\xBCnchen"},
    };
    std::vector<std::string> seen;
    builder->logCallback = [&](const std::string& line) { seen.push_back(line); };
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        builder->Log(c.text);
        expected.push_back(c.logged);
    }
    EXPECT_EQ(LoggedTexts(), expected);
    EXPECT_EQ(seen, expected);
}

TEST_F(BuilderTest, TheLogIsAppendedToAcrossBuilders) {
    WriteFile(base / "launcher.log", "10:00:00 earlier\n");
    builder->Log("later");
    EXPECT_THAT(LoggedTexts(), testing::ElementsAre("earlier", "later"));
}

TEST_F(BuilderTest, LinesFromManyThreadsNeverInterleave) {
    std::vector<std::string> seen;
    builder->logCallback = [&](const std::string& line) { seen.push_back(line); };
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) builder->Log("thread " + std::to_string(t) + " line " + std::to_string(i));
        });
    }
    for (std::thread& thread : threads) thread.join();
    const std::vector<std::string> texts = LoggedTexts();
    EXPECT_EQ(texts.size(), 800u);
    EXPECT_EQ(texts, seen);  // the callback sees the lines in file order
}

TEST_F(BuilderTest, BeginBuildLogClearsTheStagesAndSaysWhen) {
    builder->stages.push_back({"old", 1.0});
    builder->BeginBuildLog();
    EXPECT_TRUE(builder->stages.empty());
    const std::vector<std::string> texts = LoggedTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(std::regex_match(texts[0], std::regex(R"(build started \d{4}-\d\d-\d\d, \d+ logical processors)")))
        << texts[0];
    EXPECT_NE(texts[0].find(", " + std::to_string(std::thread::hardware_concurrency()) + " logical"),
              std::string::npos);
}

TEST_F(BuilderTest, AStageIsTimedAndLogged) {
    EXPECT_TRUE(builder->Stage("game source", [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        return true;
    }));
    EXPECT_FALSE(builder->Stage("configure (cmake)", [] { return false; }));
    ASSERT_EQ(builder->stages.size(), 2u);
    EXPECT_EQ(builder->stages[0].name, "game source");
    EXPECT_GE(builder->stages[0].seconds, 0.1);
    EXPECT_EQ(builder->stages[1].name, "configure (cmake)");
    const std::vector<std::string> texts = LoggedTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_TRUE(std::regex_match(texts[0], std::regex(R"(stage game source: \d+\.\d s)"))) << texts[0];
    EXPECT_EQ(texts[1], "stage configure (cmake): 0.0 s (stopped)");
}

TEST_F(BuilderTest, AnEmptyStageBodyRaises) {
    EXPECT_THROW(builder->Stage("empty", std::function<bool()>()), std::bad_function_call);
}

TEST_F(BuilderTest, TimingWithoutStages) {
    builder->LogTiming();
    EXPECT_THAT(LoggedTexts(), testing::ElementsAre("timing: 0 stages, 0.0 s in all"));
}

TEST_F(BuilderTest, TimingWithAZeroTotalPrintsZeroPercent) {
    builder->stages = {{"a", 0.0}, {"b", 0.0}};
    builder->LogTiming();
    EXPECT_THAT(LoggedTexts(), testing::ElementsAre("timing: 2 stages, 0.0 s in all", "timing:       0.0 s   0.0%  a",
                                                    "timing:       0.0 s   0.0%  b"));
}

TEST_F(BuilderTest, TimingGivesEachStageItsShare) {
    builder->stages = {{"tool llvm", 83.4}, {"game source", 52.876}, {"install", 1234.5}};
    builder->LogTiming();
    EXPECT_THAT(LoggedTexts(),
                testing::ElementsAre("timing: 3 stages, 1370.8 s in all", "timing:      83.4 s   6.1%  tool llvm",
                                     "timing:      52.9 s   3.9%  game source", "timing:    1234.5 s  90.1%  install"));
}

// The wait between two tries of a move ends only once its time has passed on the steady clock.
TEST_F(BuilderTest, TheDefaultWaitLastsItsTime) {
    ASSERT_TRUE(builder->sleepFor);
    EXPECT_FALSE(builder->replaceHook);
    const auto start = std::chrono::steady_clock::now();
    builder->sleepFor(std::chrono::milliseconds(30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST_F(BuilderTest, Folders) {
    EXPECT_EQ(builder->PlayFolder(), base / "play");
    EXPECT_EQ(builder->ToolDir("llvm"), base / "tools" / "llvm");
    EXPECT_EQ(builder->GameExePath(), base / "play" / ("Velmora2" + platform->ExeSuffix()));
}

struct InstalledCase {
    const char* name;
    bool packageMode;
    bool exe;
    bool dll;
    bool installed;
};

class IsInstalledTest : public BuilderTest, public testing::WithParamInterface<InstalledCase> {};

TEST_P(IsInstalledTest, AsksForTheExeAndInPackageModeItsLibrary) {
    if (GetParam().packageMode) game.package = "Velmora2-package.zip";
    Builder builder(game, base, http.get(), platform.get());
    if (GetParam().exe) WriteFile(builder.GameExePath(), "exe");
    if (GetParam().dll) WriteFile(base / "play" / "Velmora2.dll", "dll");
    EXPECT_EQ(builder.IsInstalled(), GetParam().installed);
}

INSTANTIATE_TEST_SUITE_P(Cases, IsInstalledTest,
                         testing::Values(InstalledCase{"nothing", false, false, false, false},
                                         InstalledCase{"source_build", false, true, false, true},
                                         InstalledCase{"package_without_library", true, true, false, false},
                                         InstalledCase{"package", true, true, true, true},
                                         InstalledCase{"library_alone", true, false, true, false}),
                         test::CaseName());

TEST_F(BuilderTest, PerReleasePackagesAlsoMeanPackageMode) {
    game.packages["abc"] = "Velmora2-eu.zip";
    Builder builder(game, base, http.get(), platform.get());
    WriteFile(builder.GameExePath(), "exe");
    EXPECT_FALSE(builder.IsInstalled());
}

struct CodeCase {
    const char* name;
    bool packageMode;
    bool exe;
    bool dll;
    bool missing;
};

class GameCodeMissingTest : public BuilderTest, public testing::WithParamInterface<CodeCase> {};

TEST_P(GameCodeMissingTest, AsksForThePackagesLibrary) {
    if (GetParam().packageMode) game.package = "Velmora2-package.zip";
    Builder builder(game, base, http.get(), platform.get());
    if (GetParam().exe) WriteFile(builder.GameExePath(), "exe");
    if (GetParam().dll) WriteFile(builder.PlayFolder() / "Velmora2.dll", "dll");
    EXPECT_EQ(builder.GameCodeMissing(), GetParam().missing);
}

INSTANTIATE_TEST_SUITE_P(Cases, GameCodeMissingTest,
                         testing::Values(CodeCase{"source_build", false, true, false, false},
                                         CodeCase{"nothing_installed", true, false, false, false},
                                         CodeCase{"exe_without_library", true, true, false, true},
                                         CodeCase{"package_installed", true, true, true, false}),
                         test::CaseName());

TEST_F(BuilderTest, StartGameStartsTheExeInThePlayFolder) {
    fs::create_directories(builder->PlayFolder());
    fs::copy_file(test::HelperChildPath(), builder->GameExePath());
    const fs::path record = temp / "record.txt";
    test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));
    std::string error;
    const bool started = builder->StartGame(error);
    test::UnsetTestEnv("HELPER_RECORD");
    ASSERT_TRUE(started) << error;
    const std::vector<std::string> lines = test::WaitForRecord(record);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(fs::equivalent(Utf8Path(lines[1]), builder->PlayFolder()));
}

TEST_F(BuilderTest, StartGameWithoutTheGameSaysWhy) {
    std::string error;
    EXPECT_FALSE(builder->StartGame(error));
    EXPECT_THAT(error, testing::StartsWith("Could not start the game (2"));
}

}  // namespace
}  // namespace launcher
