// Runs twice: with XBE_LOG_SYNC=1 and without (tests/game/CMakeLists.txt).
#include "game/disc_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/text.h"
#include "tests/support/regex_matcher.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::FullyMatches;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

bool SyncMode() {
    const char* value = std::getenv("XBE_LOG_SYNC");
    return value != nullptr && value[0] == '1';
}

// Opens another log file, so that the one in a temporary folder is closed and the folder can go.
void ReleaseTemporaryFolder() {
    OpenLogFile(fs::current_path(), std::string(SyncMode() ? "log-sync-" : "log-async-") + "released", false);
}

class DiscLogTest : public testing::Test {
protected:
    // The log goes to a file of this test in the working folder.
    void SetUp() override {
        // Both runs of this executable share the working folder.
        name = std::string(SyncMode() ? "log-sync-" : "log-async-") +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        OpenLogFile(fs::current_path(), name, false);
    }

    std::string FileText() { return ReadFile(fs::current_path() / (name + ".log")); }

    std::vector<std::string> Lines(const std::string& text) { return test::SplitLines(text); }

    // What reached the file without an explicit flush, waiting for the batch outside sync mode.
    std::string WaitForText(size_t lines) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        std::string text = FileText();
        while (Lines(text).size() < lines && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            text = FileText();
        }
        return text;
    }

    std::string name;
};

TEST_F(DiscLogTest, LevelsBelowThreeAreDroppedAndStartNothing) {
    LogPrintf(0, "zero");
    LogPrintf(1, "one %d", 1);
    LogPrintf(2, "two");
    FlushLog();
    EXPECT_EQ(FileText(), "");
    EXPECT_FALSE(LogFlusherStarted());
}

TEST_F(DiscLogTest, AnErrorLineHasItsTimeAndPrefix) {
    LogPrintf(3, "disc: %s %u", "short read", 7u);
    const std::vector<std::string> lines = Lines(WaitForText(1));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], test::FullyMatches(R"(\[ *[0-9]+\.[0-9]{3}\] error: disc: short read 7)"));
    EXPECT_EQ(lines[0].find(']'), 10u);  // the seconds take nine characters
    EXPECT_EQ(FileText().back(), '\n');
}

TEST_F(DiscLogTest, AHigherLevelHasNoPrefix) {
    LogPrintf(4, "disc: asked again");
    LogPrintf(9, "later");
    const std::vector<std::string> lines = Lines(WaitForText(2));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], test::FullyMatches(R"(\[ *[0-9]+\.[0-9]{3}\] disc: asked again)"));
    EXPECT_THAT(lines[1], test::FullyMatches(R"(\[ *[0-9]+\.[0-9]{3}\] later)"));
}

TEST_F(DiscLogTest, SyncModeWritesBeforeReturningAndRunsNoThread) {
    LogPrintf(4, "notice");
    if (SyncMode()) {
        EXPECT_EQ(Lines(FileText()).size(), 1u);
        LogPrintf(3, "error");
        EXPECT_EQ(Lines(FileText()).size(), 2u);
        EXPECT_FALSE(LogFlusherStarted());
    } else {
        EXPECT_TRUE(LogFlusherStarted());
        EXPECT_EQ(Lines(WaitForText(1)).size(), 1u);  // the next batch, within about 250 ms
        LogPrintf(3, "error");
        EXPECT_EQ(Lines(WaitForText(2)).size(), 2u);
    }
}

// Outside sync mode an error line wakes the writer at once: logged right after a batch went out, it
// arrives long before the next batch is due (250 ms later).
TEST_F(DiscLogTest, AnErrorLineIsWrittenAtOnce) {
    if (SyncMode()) GTEST_SKIP() << "every line is written at once in sync mode";
    std::vector<double> delays;
    for (int i = 0; i < 5; ++i) {
        LogPrintf(4, "notice %d", i);
        const size_t lines = Lines(WaitForText(2 * i + 1)).size();
        ASSERT_EQ(lines, 2u * i + 1);  // a batch has just been written
        const auto start = std::chrono::steady_clock::now();
        LogPrintf(3, "error %d", i);
        while (Lines(FileText()).size() < lines + 1 &&
               std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        delays.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(delays.begin(), delays.end());
    EXPECT_LT(delays[2], 0.15) << "the median delay of an error line";
}

TEST_F(DiscLogTest, ALongMessageIsCut) {
    LogPrintf(3, "%s", std::string(5000, 'x').c_str());
    FlushLog();
    const std::vector<std::string> lines = Lines(FileText());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 12 + 7 + 4095u);  // "[%9.3f] ", "error: ", the cut message
}

TEST_F(DiscLogTest, LinesFromManyThreadsStayWhole) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) LogPrintf(4, "thread %d line %d", t, i);
        });
    }
    for (std::thread& thread : threads) thread.join();
    FlushLog();
    const std::vector<std::string> lines = Lines(FileText());
    EXPECT_EQ(lines.size(), 1600u);
    for (const std::string& line : lines)
        EXPECT_THAT(line, test::FullyMatches(R"(\[ *[0-9]+\.[0-9]{3}\] thread [0-7] line [0-9]+)"));
}

TEST(DiscLogFileTest, OpeningRotatesTheOlderFiles) {
    TempFolder temp;
    WriteFile(temp / "disc.log", "current");
    WriteFile(temp / "disc.1.log", "one");
    WriteFile(temp / "disc.5.log", "five");
    OpenLogFile(temp.path(), "disc", false);
    EXPECT_EQ(CurrentLogFilePath(), PathToUtf8(temp / "disc.log"));
    LogPrintf(3, "fresh");
    FlushLog();
    EXPECT_THAT(test::ReadLines(temp / "disc.log"), testing::ElementsAre(testing::EndsWith("] error: fresh")));
    EXPECT_EQ(ReadFile(temp / "disc.1.log"), "current");
    EXPECT_EQ(ReadFile(temp / "disc.2.log"), "one");
    EXPECT_FALSE(fs::exists(temp / "disc.5.log"));
    EXPECT_FALSE(fs::exists(temp / "disc.3.log"));
    ReleaseTemporaryFolder();
}

TEST(DiscLogFileTest, AllFiveOlderFilesMoveDownAndTheOldestGoes) {
    TempFolder temp;
    WriteFile(temp / "disc.log", "0");
    for (int n = 1; n <= 5; ++n) WriteFile(LogFilePath(temp.path(), "disc", n), std::to_string(n));
    OpenLogFile(temp.path(), "disc", false);
    for (int n = 1; n <= 5; ++n) EXPECT_EQ(ReadFile(LogFilePath(temp.path(), "disc", n)), std::to_string(n - 1));
    EXPECT_EQ(ReadFile(temp / "disc.log"), "");
    ReleaseTemporaryFolder();
}

TEST(DiscLogFileTest, AppendingKeepsTheFileAndRotatesNothing) {
    TempFolder temp;
    WriteFile(temp / "disc.log", "earlier\n");
    OpenLogFile(temp.path(), "disc", true);
    LogPrintf(3, "later");
    FlushLog();
    EXPECT_THAT(test::ReadLines(temp / "disc.log"),
                testing::ElementsAre("earlier", testing::EndsWith("] error: later")));
    EXPECT_FALSE(fs::exists(temp / "disc.1.log"));
    ReleaseTemporaryFolder();
}

TEST(DiscLogFileTest, OpeningMakesTheFolder) {
    TempFolder temp;
    OpenLogFile(temp / "logs" / "deeper", "disc", false);
    EXPECT_TRUE(fs::exists(temp / "logs" / "deeper" / "disc.log"));
    EXPECT_EQ(LogFilePath(temp.path(), "disc", 3), temp / "disc.3.log");
    ReleaseTemporaryFolder();
}

}  // namespace
}  // namespace launcher
