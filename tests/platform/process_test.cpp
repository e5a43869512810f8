// Running programs through Platform::Run, with the helper child as the program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "platform/platform.h"
#include "platform/process_runner.h"
#include "platform/quote_arg.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

class ProcessTest : public testing::Test {
protected:
    int Run(std::vector<std::string> arguments, const std::map<std::string, std::string>& environment = {},
            std::atomic<bool>* stop = nullptr, const fs::path& folder = {}) {
        lines.clear();
        arguments.insert(arguments.begin(), PathToUtf8(test::HelperChildPath()));
        return platform->Run(
            arguments, folder, environment, [this](const std::string& line) { lines.push_back(line); }, stop);
    }

    std::unique_ptr<Platform> platform = MakePlatform();
    std::vector<std::string> lines;
};

TEST_F(ProcessTest, ArgumentsArriveAsTheyWereGiven) {
    const std::vector<std::string> arguments = {"plain", "with blank", "say \"hi\"", "trailing\\",  "C:\\my folder\\",
                                                "",      "tab\there",  "a\\\\\"b c", "M\xC3\xBCsik"};
    std::vector<std::string> run = {"--echo-args"};
    run.insert(run.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(Run(run), 0);
    std::vector<std::string> expected;
    for (const std::string& argument : arguments) expected.push_back("arg=" + argument);
    EXPECT_EQ(lines, expected);
}

TEST_F(ProcessTest, OutputIsSplitIntoLines) {
    EXPECT_EQ(Run({"--out", "a\\r\\n\\r\\nb\\n", "--out", "one\\rtwo\\nlast"}), 0);
    EXPECT_THAT(lines, ElementsAre("a", "b", "one", "two", "last"));
}

// A program that prints one endless line cannot fill the launcher's memory or its log.
TEST_F(ProcessTest, ALineIsCutAt64KiBAndTheNextLineArrivesWhole) {
    EXPECT_EQ(Run({"--out-repeat", "5000000", "x", "--out", "\\nnormal line\\n"}), 0);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(64 * 1024, 'x'));
    EXPECT_EQ(lines[1], "normal line");
}

TEST_F(ProcessTest, BothStreamsComeInTheirOrder) {
    EXPECT_EQ(Run({"--out", "to out\\n", "--err", "to err\\n", "--out", "out again"}), 0);
    EXPECT_THAT(lines, ElementsAre("to out", "to err", "out again"));
}

TEST_F(ProcessTest, TheExitCodeComesBack) {
    EXPECT_EQ(Run({"--exit", "7"}), 7);
    EXPECT_EQ(Run({"--out", "x", "--exit", "0"}), 0);
#ifdef _WIN32
    EXPECT_EQ(Run({"--exit", "0xC0000005"}), static_cast<int>(0xC0000005u));
#else
    EXPECT_EQ(Run({"--raise", "9"}), 128 + 9);
#endif
}

TEST_F(ProcessTest, AnEmptyCallbackIsAllowed) {
    EXPECT_EQ(platform->Run({PathToUtf8(test::HelperChildPath()), "--out", "x\\n", "--exit", "3"}, {}, {}, {}, nullptr),
              3);
}

TEST_F(ProcessTest, AProgramThatCannotStartSaysSoOnce) {
    test::TempFolder temp;
    const std::string missing = PathToUtf8(temp / ("missing" + platform->ExeSuffix()));
    EXPECT_EQ(platform->Run(
                  {missing, "a b"}, {}, {}, [this](const std::string& line) { lines.push_back(line); }, nullptr),
              -1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], testing::StartsWith("cannot start " + missing + " \"a b\" (2"));
    EXPECT_EQ(lines[0].back(), ')');
}

TEST_F(ProcessTest, TheWorkingFolderIsTheOneGiven) {
    test::TempFolder temp;
    const fs::path record = temp / "record.txt";
    EXPECT_EQ(Run({}, {{"HELPER_RECORD", PathToUtf8(record)}}, nullptr, temp.path()), 0);
    const std::vector<std::string> recorded = test::ReadLines(record);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_TRUE(fs::equivalent(Utf8Path(recorded[1]), temp.path()));
}

TEST_F(ProcessTest, TheEnvironmentIsTheLaunchersWithTheOverrides) {
    test::SetTestEnv("LAUNCHER_INHERITED", "from the launcher");
    test::SetTestEnv("LAUNCHER_REPLACED", "old");
    EXPECT_EQ(Run({"--echo-env", "LAUNCHER_INHERITED", "--echo-env", "LAUNCHER_REPLACED", "--echo-env",
                   "LAUNCHER_EMPTY", "--echo-env", "LAUNCHER_NEW"},
                  {{"LAUNCHER_REPLACED", "new"}, {"LAUNCHER_EMPTY", ""}, {"LAUNCHER_NEW", "M\xC3\xBCsik"}}),
              0);
    EXPECT_THAT(lines, ElementsAre("LAUNCHER_INHERITED=from the launcher", "LAUNCHER_REPLACED=new",
                                   "LAUNCHER_EMPTY=", "LAUNCHER_NEW=M\xC3\xBCsik"));
}

#ifdef _WIN32
TEST_F(ProcessTest, TheCommandLineIsTheQuotedArgumentsJoinedByBlanks) {
    test::TempFolder temp;
    // Under a name that is none of its modes the helper child only records its command line.
    const fs::path tool = temp / "tool.exe";
    fs::copy_file(test::HelperChildPath(), tool);
    const fs::path record = temp / "record.txt";
    EXPECT_EQ(platform->Run({PathToUtf8(tool), "commit", "-m", "first version"}, {},
                            {{"HELPER_RECORD", PathToUtf8(record)}}, {}, nullptr),
              0);
    const std::vector<std::string> recorded = test::ReadLines(record);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0], ToUtf8(QuoteArg(tool.wstring())) + " commit -m \"first version\"");
}

TEST_F(ProcessTest, AnOverrideReplacesTheVariableInAnyCaseAndTheBlockIsSorted) {
    test::SetTestEnv("Launcher_Case", "old");
    EXPECT_EQ(Run({"--echo-env-names", "--echo-env", "LAUNCHER_CASE"},
                  {{"LAUNCHER_CASE", "new"}, {"LAUNCHER_AB", "1"}, {"LAUNCHER_A_B", "2"}}),
              0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "LAUNCHER_CASE=new");
    lines.pop_back();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& name) { return _stricmp(name.c_str(), "LAUNCHER_CASE") == 0; }),
              1);
    // Sorted ignoring case as the runtime compares, in lower case: '_' comes before 'b'. (Wine adds
    // variables of its own at the end of the block, so only these are compared.)
    const auto a_b = std::find(lines.begin(), lines.end(), "LAUNCHER_A_B");
    const auto ab = std::find(lines.begin(), lines.end(), "LAUNCHER_AB");
    const auto casePosition = std::find(lines.begin(), lines.end(), "LAUNCHER_CASE");
    ASSERT_NE(ab, lines.end());
    EXPECT_LT(a_b, ab);
    EXPECT_LT(ab, casePosition);
}

// An inheritable handle of the launcher's (the runtime's launcher.log, say) stays out of the child,
// which gets its output pipe all the same.
TEST_F(ProcessTest, AChildGetsOnlyItsOwnPipe) {
    test::TempFolder temp;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE file = CreateFileW((temp / "launcher.log").c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char value[32];
    std::snprintf(value, sizeof value, "%llx", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(file)));
    EXPECT_EQ(Run({"--handle", value, "--out", "still heard\\n"}), 0);
    CloseHandle(file);
    ASSERT_THAT(lines, ElementsAre(testing::StartsWith(std::string("handle ") + value + " names "), "still heard"));
    EXPECT_THAT(lines[0], testing::Not(testing::HasSubstr("launcher.log")));
}

// A job the program cannot join (here a handle that is no job; on Windows also a job that does not
// allow one inside another): it must not run outside the job, where a stop would not reach it.
TEST(RunProcessInJobTest, AProgramThatCannotJoinTheJobDoesNotRun) {
    test::TempFolder temp;
    const fs::path record = temp / "record.txt";
    const std::wstring commandLine = QuoteArg(test::HelperChildPath().wstring()) + L" --exit 3";
    const HANDLE notAJob = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(notAJob, nullptr);
    std::vector<std::string> lines;
    const int code = RunProcessInJob(
        notAJob, {}, commandLine, {}, {{"HELPER_RECORD", PathToUtf8(record)}},
        [&lines](const std::string& line) { lines.push_back(line); }, nullptr);
    CloseHandle(notAJob);
    EXPECT_EQ(code, -1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], testing::StartsWith("cannot start " + ToUtf8(commandLine) + " ("));
    EXPECT_EQ(lines[0].back(), ')');
    EXPECT_FALSE(fs::exists(record)) << "the program ran";
}

TEST(MergeEnvironmentTest, ReplacesInAnyCaseKeepsDriveEntriesAndSorts) {
    const wchar_t block[] = L"Path=C:\\old\0=C:=C:\\work\0x\0NOEQUALS\0b=2\0Zed=\0A_B=1\0\0";
    const auto merged = MergeEnvironment(block, {{"PATH", "C:\\new"}, {"EMPTY", ""}, {"ab", "3"}});
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const auto& [name, value] : merged) pairs.emplace_back(ToUtf8(name), ToUtf8(value));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"=C:", "C:\\work"}, {"A_B", "1"}, {"ab", "3"}, {"b", "2"}, {"EMPTY", ""}, {"PATH", "C:\\new"}, {"Zed", ""}};
    EXPECT_EQ(pairs, expected);
}
#endif

TEST_F(ProcessTest, AStopEndsTheProgramAndWhatItStarted) {
    std::atomic<bool> stop{false};
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    // The grandchild holds the output too: the run ends only when both are gone.
    const int code =
        Run({"--out", "started\\n", "--grandchild", "--sleep", "60000", "--", "--sleep", "60000"}, {}, &stop);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    stopper.join();
    EXPECT_EQ(code, -1);
    EXPECT_LT(seconds, 20.0);
    EXPECT_THAT(lines, ElementsAre("started"));
}

TEST_F(ProcessTest, AStopFlagSetAfterTheProgramEndedStillMeansStopped) {
    std::atomic<bool> stop{false};
    const int code = platform->Run(
        {PathToUtf8(test::HelperChildPath()), "--out", "last line\\n"}, {}, {},
        [&stop](const std::string&) {
            // The program ends right after its one line; by now it is gone.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            stop = true;
        },
        &stop);
    EXPECT_EQ(code, -1);
}

TEST_F(ProcessTest, ALineHandlerThatThrowsEndsTheProgramAndTheRun) {
    std::atomic<bool> stop{false};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(platform->Run(
                     {PathToUtf8(test::HelperChildPath()), "--out", "first\\n", "--sleep", "60000"}, {}, {},
                     [](const std::string&) -> void { throw std::runtime_error("full"); }, &stop),
                 std::runtime_error);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20.0);
}

#ifndef _WIN32
// Stops a run from another thread after delay; returns the run's code.
int RunStopped(Platform& platform, const std::vector<std::string>& argv, std::vector<std::string>& lines,
               double& seconds) {
    std::atomic<bool> stop{false};
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const int code = platform.Run(
        argv, {}, {}, [&lines](const std::string& line) { lines.push_back(line); }, &stop);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    stopper.join();
    return code;
}

// Whether a process is still there (a zombie included), waiting up to a few seconds for it to go.
bool StillRunning(pid_t pid) {
    for (int i = 0; i < 50; ++i) {
        if (kill(pid, 0) != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// A build tool such as ninja runs its commands in process groups of their own, out of reach of a kill
// of the program's group: a stop asks the program first, so that it can end them.
TEST_F(ProcessTest, AStopAsksTheProgramToEndWhatItStartedElsewhere) {
    double seconds = 0;
    const int code = RunStopped(
        *platform,
        {"sh", "-c", "setsid sleep 60 >/dev/null 2>&1 & echo \"child $!\"; trap 'kill $!; exit 0' TERM; wait"}, lines,
        seconds);
    EXPECT_EQ(code, -1);
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].rfind("child ", 0), 0u);
    const pid_t child = static_cast<pid_t>(std::stoi(lines[0].substr(6)));
    const bool left = StillRunning(child);
    if (left) kill(child, SIGKILL);
    EXPECT_FALSE(left);
}

// One that does not end when asked is killed after a grace.
TEST_F(ProcessTest, AStoppedProgramThatDoesNotEndIsKilled) {
    double seconds = 0;
    const int code = RunStopped(*platform, {"sh", "-c", "trap '' TERM; echo started; sleep 60"}, lines, seconds);
    EXPECT_EQ(code, -1);
    EXPECT_THAT(lines, ElementsAre("started"));
    EXPECT_LT(seconds, 30.0);
}
#endif

TEST_F(ProcessTest, AnUnsetStopFlagLetsTheProgramEnd) {
    std::atomic<bool> stop{false};
    EXPECT_EQ(Run({"--sleep", "300", "--exit", "4"}, {}, &stop), 4);
}

}  // namespace
}  // namespace launcher
