// The port's prepare-code run: the progress protocol line by line, and real runs of the fake port.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <optional>

#include "builder/package_pipeline.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

constexpr char kTitle[] = "Building Velmora for this PC";

struct DetailCase {
    const char* name;
    std::uint64_t filesDone, filesTotal, bytesDone, bytesTotal;
    double elapsed;
    const char* detail;
};

class PrepareCodeDetailTest : public testing::TestWithParam<DetailCase> {};

TEST_P(PrepareCodeDetailTest, Reads) {
    const DetailCase& c = GetParam();
    EXPECT_EQ(PrepareCodeDetail(c.filesDone, c.filesTotal, c.bytesDone, c.bytesTotal, c.elapsed), c.detail);
}

// With one byte of two done the estimate is the elapsed time itself, so the rounding limits are exact.
INSTANTIATE_TEST_SUITE_P(
    Cases, PrepareCodeDetailTest,
    testing::Values(
        DetailCase{"first_seconds", 3, 10, 100, 1000, 2.0, "3 of 10 files"},
        DetailCase{"five_seconds_exactly", 3, 10, 100, 1000, 5.0, "3 of 10 files"},
        DetailCase{"ninety_seconds_left", 3, 10, 100, 1000, 10.0, "3 of 10 files, about 2 min left"},
        DetailCase{"ten_seconds_left", 3, 10, 500, 1000, 10.0, "3 of 10 files, under a minute left"},
        DetailCase{"no_bytes_yet", 3, 10, 0, 1000, 10.0, "3 of 10 files"},
        DetailCase{"all_files", 10, 10, 1000, 1000, 10.0, "Finishing the build"},
        DetailCase{"more_files_than_in_all", 11, 10, 10, 1000, 10.0, "Finishing the build"},
        DetailCase{"no_bytes_in_all", 3, 10, 100, 0, 2.0, "3 of 10 files"},
        DetailCase{"all_bytes_files_left", 3, 10, 1000, 1000, 10.0, "3 of 10 files, under a minute left"},
        DetailCase{"limit_59_4", 3, 10, 1, 2, 59.4, "3 of 10 files, under a minute left"},
        DetailCase{"limit_59_5", 3, 10, 1, 2, 59.5, "3 of 10 files, about 1 min left"},
        DetailCase{"limit_89_4", 3, 10, 1, 2, 89.4, "3 of 10 files, about 1 min left"},
        DetailCase{"limit_89_5", 3, 10, 1, 2, 89.5, "3 of 10 files, about 2 min left"},
        DetailCase{"more_bytes_done_than_in_all", 3, 10, 2000, 1000, 10.0, "3 of 10 files"},
        // 6 x 10^12 s: kept below INT_MAX - 30, so that the rounding to minutes cannot overflow.
        DetailCase{"one_byte_of_a_terabyte", 3, 10, 1, 1000000000000, 6.0, "3 of 10 files, about 35791394 min left"},
        DetailCase{"infinite_estimate", 3, 10, 1, 1000000000000, 1e300, "3 of 10 files, about 35791394 min left"}),
    test::CaseName());

class PrepareCodeTest : public testing::Test {
protected:
    void SetUp() override {
        game.title = "Velmora";
        game.shortName = game.exe = "Velmora2";
        game.package = "Velmora2-package.zip";
        builder = std::make_unique<Builder>(game, temp / "base", nullptr, platform.get());
        builder->statusCallback = [this](const Status& status) {
            statuses.push_back(status);
            if (onStatus) onStatus(status);
        };
        builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
        run.packageName = game.package;
        run.sideFolder = builder->PlayFolder() / ".next";
        run.prepareCodeStart = Now();
    }

    static std::int64_t Now() {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    // The fake port: a copy of the helper child as the game's executable in the side folder,
    // following the script given.
    fs::path PlaceFakePort(const std::string& script) {
        const fs::path port = run.sideFolder / builder->GameExePath().filename();
        fs::create_directories(run.sideFolder);
        fs::copy_file(test::HelperChildPath(), port);
        test::WriteFile(run.sideFolder / "fakeport.txt", script);
        return port;
    }

    std::unique_ptr<Platform> platform = MakePlatform();
    test::TempFolder temp;
    Game game;
    std::unique_ptr<Builder> builder;
    PackageRun run;
    std::vector<Status> statuses;
    std::vector<std::string> logged;
    std::function<void(const Status&)> onStatus;
};

struct LineCase {
    const char* name;
    const char* line;
    std::optional<Status> status;  // the one status the line gives, if any
    const char* logged;            // the one log line, or nullptr
    const char* reason;            // the failure reason afterwards (it starts as "before")
    double secondsSinceStart = 0.0;
};

class PrepareCodeLineTest : public PrepareCodeTest, public testing::WithParamInterface<LineCase> {};

TEST_P(PrepareCodeLineTest, Handles) {
    const LineCase& c = GetParam();
    run.failureReason = "before";
    run.prepareCodeStart = Now() - static_cast<std::int64_t>(c.secondsSinceStart * 1e9);
    PrepareCodeOutputLine(*builder, run, c.line);
    if (c.status) {
        ASSERT_EQ(statuses.size(), 1u);
        EXPECT_EQ(statuses[0].title, c.status->title);
        EXPECT_EQ(statuses[0].detail, c.status->detail);
        EXPECT_EQ(statuses[0].fraction, c.status->fraction);
    } else {
        EXPECT_THAT(statuses, IsEmpty());
    }
    if (c.logged != nullptr) {
        EXPECT_THAT(logged, ElementsAre(c.logged));
        EXPECT_THAT(test::ReadFile(temp / "base" / "launcher.log"), testing::HasSubstr(c.logged));
    } else {
        EXPECT_THAT(logged, IsEmpty());
    }
    EXPECT_EQ(run.failureReason, c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PrepareCodeLineTest,
    testing::Values(LineCase{"progress_early", "progress 1 3 10 100 1000", Status{kTitle, "3 of 10 files", 0.1},
                             nullptr, "before"},
                    LineCase{"progress_ten_seconds_in", "progress 1 3 10 500 1000",
                             Status{kTitle, "3 of 10 files, under a minute left", 0.5}, nullptr, "before", 10.0},
                    LineCase{"progress_finishing", "progress 1 10 10 1000 1000",
                             Status{kTitle, "Finishing the build", 1.0}, nullptr, "before"},
                    LineCase{"progress_without_byte_total", "progress 1 3 10 100 0",
                             Status{kTitle, "3 of 10 files", -1.0}, nullptr, "before"},
                    LineCase{"progress_with_words_after", "progress 7 3 10 100 1000 of the shaders",
                             Status{kTitle, "3 of 10 files", 0.1}, nullptr, "before"},
                    LineCase{"progress_without_files", "progress 1 0 0 0 0", std::nullopt, nullptr, "before"},
                    LineCase{"progress_too_few_fields", "progress 1 2", std::nullopt, nullptr, "before"},
                    LineCase{"progress_not_numbers", "progress one 3 10 100 1000", std::nullopt, nullptr, "before"},
                    LineCase{"progress_blank_only", "progress ", std::nullopt, nullptr, "before"},
                    LineCase{"progress_word_alone", "progress", std::nullopt, "game: progress", "before"},
                    LineCase{"game_code_line", "[12:00] Game code: 40 of 200", std::nullopt,
                             "game: [12:00] Game code: 40 of 200", "before"},
                    LineCase{"other_bracket_line", "[12:00] loading textures", std::nullopt, nullptr, "before"},
                    LineCase{"plain_line", "compiling shaders", std::nullopt, "game: compiling shaders", "before"},
                    LineCase{"failed_with_reason", "failed out of disk space", std::nullopt,
                             "game: failed out of disk space", "out of disk space"},
                    LineCase{"failed_alone", "failed", std::nullopt, "game: failed", "before"},
                    LineCase{"failed_blank", "failed ", std::nullopt, "game: failed ", ""}),
    test::CaseName());

TEST_F(PrepareCodeTest, TheLastFailedLineIsTheReason) {
    PrepareCodeOutputLine(*builder, run, "failed the first reason");
    PrepareCodeOutputLine(*builder, run, "failed the second reason");
    PrepareCodeOutputLine(*builder, run, "failed");
    EXPECT_EQ(run.failureReason, "the second reason");
}

// The reason becomes the error text on the window: its first 500 bytes, whole characters only.
struct ReasonCase {
    const char* name;
    std::string line;
    std::string reason;
};

class PrepareCodeReasonTest : public PrepareCodeTest, public testing::WithParamInterface<ReasonCase> {};

TEST_P(PrepareCodeReasonTest, IsCut) {
    PrepareCodeOutputLine(*builder, run, GetParam().line);
    EXPECT_EQ(run.failureReason, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, PrepareCodeReasonTest,
    testing::Values(ReasonCase{"two_megabytes", "failed " + std::string(2 << 20, 'r'), std::string(500, 'r')},
                    ReasonCase{"exactly_500_bytes", "failed " + std::string(500, 's'), std::string(500, 's')},
                    ReasonCase{"a_character_across_the_cut", "failed " + std::string(499, 't') + "\xC3\xA9 and more",
                               std::string(499, 't')},
                    ReasonCase{"a_character_before_the_cut", "failed " + std::string(498, 'u') + "\xC3\xA9 and more",
                               std::string(498, 'u') + "\xC3\xA9"}),
    test::CaseName());

TEST_F(PrepareCodeTest, ThePortRunsOnceInTheSideFolderWithOneArgument) {
    const fs::path port = PlaceFakePort(
        "out progress 1 0 2 0 100\n"
        "out [00:00] Game code: 1 of 2\n"
        "out [00:00] loading textures\n"
        "err a line on standard error\n"
        "out progress 1 1 2 50 100\n"
        "out progress 1 2 2 100 100\n"
        "write Velmora2.dll code\n");
    const fs::path record = temp / "record.txt";
    test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));
    const bool ok = PrepareCodeStage(*builder, run);
    test::UnsetTestEnv("HELPER_RECORD");
    ASSERT_TRUE(ok);

    const std::vector<std::string> recorded = test::ReadLines(record);
    ASSERT_EQ(recorded.size(), 2u);
    std::string program = PathToUtf8(port);
#ifdef _WIN32
    if (program.find(' ') != std::string::npos) program = "\"" + program + "\"";
#endif
    EXPECT_EQ(recorded[0], program + " --prepare-code");
    EXPECT_TRUE(fs::equivalent(Utf8Path(recorded[1]), run.sideFolder)) << recorded[1];
    EXPECT_EQ(test::ReadFile(run.sideFolder / "Velmora2.dll"), "code");

    std::vector<std::string> details;
    for (const Status& status : statuses) {
        EXPECT_EQ(status.title, kTitle);
        details.push_back(status.detail);
    }
    EXPECT_THAT(details, ElementsAre("Starting", "0 of 2 files", "1 of 2 files", "Finishing the build"));
    EXPECT_EQ(statuses[0].fraction, -1.0);
    EXPECT_EQ(statuses[2].fraction, 0.5);
    EXPECT_THAT(logged, ElementsAre("game: [00:00] Game code: 1 of 2", "game: a line on standard error"));
}

TEST_F(PrepareCodeTest, AnExitCodeOtherThanZeroFails) {
    PlaceFakePort("out failed the shaders did not compile\nexit 3\n");
    EXPECT_FALSE(PrepareCodeStage(*builder, run));
    EXPECT_EQ(run.failureReason, "the shaders did not compile");
}

TEST_F(PrepareCodeTest, AFailedLineWithExitZeroSucceeds) {
    PlaceFakePort("out failed only a warning\n");
    EXPECT_TRUE(PrepareCodeStage(*builder, run));
    EXPECT_EQ(run.failureReason, "only a warning");
}

TEST_F(PrepareCodeTest, AScriptStepThePortDoesNotKnowEndsItWithTwo) {
    PlaceFakePort("out first\nbogus step\nwrite Velmora2.dll code\n");
    EXPECT_FALSE(PrepareCodeStage(*builder, run));
    EXPECT_THAT(logged, ElementsAre("game: first", "game: helper_child: unknown script step: bogus step"));
    EXPECT_FALSE(fs::exists(run.sideFolder / "Velmora2.dll"));
}

TEST_F(PrepareCodeTest, AMissingPortFails) {
    fs::create_directories(run.sideFolder);
    EXPECT_FALSE(PrepareCodeStage(*builder, run));
}

TEST_F(PrepareCodeTest, TheCancelFlagStopsThePort) {
    PlaceFakePort("out progress 1 1 4 10 100\nsleep 60000\nexit 0\n");
    onStatus = [this](const Status& status) {
        if (status.detail == "1 of 4 files") builder->cancel = true;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(PrepareCodeStage(*builder, run));
    // A guard against a hang, far above the watchdog's tenth of a second.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_TRUE(builder->cancel);
}

}  // namespace
}  // namespace launcher
