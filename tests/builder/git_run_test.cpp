// git's runs: the output lines as log, capture and progress, and real runs of the fake git (and of
// the host's git natively).
#include "builder/git_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

#include "tests/builder/source_fixture.h"
#include "tests/support/case_name.h"
#include "tests/support/wait_until.h"
#ifndef _WIN32
#include "tests/support/port_repo.h"
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing::StartsWith;

class GitRunTest : public test::SourceFixture {};

struct LineCase {
    const char* name;
    const char* line;
    const char* detail;  // of the one status the line gives; nullptr for none
    double fraction;
};

class GitRunLineTest : public GitRunTest, public testing::WithParamInterface<LineCase> {};

TEST_P(GitRunLineTest, CapturesLogsAndReports) {
    const LineCase& c = GetParam();
    std::string capture = "earlier line\n";
    GitOutputLine{*builder, &capture}(c.line);
    EXPECT_EQ(capture, "earlier line\n" + std::string(c.line) + "\n");
    EXPECT_THAT(logged, ElementsAre("git: " + std::string(c.line)));
    EXPECT_THAT(test::ReadFile(base / "launcher.log"), testing::HasSubstr("git: " + std::string(c.line)));
    if (c.detail == nullptr) {
        EXPECT_THAT(statuses, IsEmpty());
        return;
    }
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].title, "Downloading the game's source");
    EXPECT_EQ(statuses[0].detail, c.detail);
    EXPECT_DOUBLE_EQ(statuses[0].fraction, c.fraction);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GitRunLineTest,
    testing::Values(LineCase{"receiving", "Receiving objects:  45% (450/1000)", "Receiving objects", 0.45},
                    LineCase{"remote_done", "remote: Counting objects: 100% (10/10), done.", "remote", 1.0},
                    // As git 2.39 prints it, padded with blanks over the previous line.
                    LineCase{"real_git_padded", "remote: Counting objects:   3% (1/32)        ", "remote", 0.03},
                    LineCase{"percent_at_index_1", "5% done", nullptr, 0.0},
                    LineCase{"percent_at_index_0", "% done", nullptr, 0.0}, LineCase{"no_colon", "12%", "12%", 0.12},
                    LineCase{"no_number", "x: y%", "x", 0.0}, LineCase{"not_finite", "x: nan%", "x", 0.0},
                    LineCase{"decimal", "Compressing objects: 7.5% (3/40)", "Compressing objects", 0.075},
                    LineCase{"no_percent", "Cloning into 'source'...", nullptr, 0.0}),
    test::CaseName());

TEST_F(GitRunTest, WithoutACaptureTheLineIsLoggedAndReported) {
    GitOutputLine{*builder, nullptr}("Resolving deltas:  50% (1/2)");
    EXPECT_THAT(logged, ElementsAre("git: Resolving deltas:  50% (1/2)"));
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].detail, "Resolving deltas");
}

TEST_F(GitRunTest, TheDownloadedGitRunsInTheBaseFolderWithLongPathsAndTheArgumentsUnchanged) {
    PlaceFakeGit();
    std::string capture;
    std::string error = "earlier error";
    EXPECT_EQ(builder->Git({"config", "--get", "safe.directory"}, &capture, error), 0);
    EXPECT_EQ(capture, "*\n");
    EXPECT_EQ(error, "earlier error");
    EXPECT_THAT(logged, ElementsAre("git: *"));

    const std::vector<test::ToolRun> runs = Runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].program, PathToUtf8(FakeGitPath()));
    EXPECT_THAT(runs[0].arguments, ElementsAre("-c", "core.longpaths=true", "config", "--get", "safe.directory"));
    EXPECT_TRUE(fs::equivalent(Utf8Path(runs[0].folder), base)) << runs[0].folder;
}

TEST_F(GitRunTest, TwoRunsAppendToOneCapture) {
    PlaceFakeGit();
    std::string capture;
    std::string error;
    EXPECT_EQ(builder->Git({"config", "--get", "safe.directory"}, &capture, error), 0);
    EXPECT_EQ(builder->Git({"config", "--get", "safe.directory"}, &capture, error), 0);
    EXPECT_EQ(capture, "*\n*\n");
    EXPECT_EQ(Runs().size(), 2u);
}

TEST_F(GitRunTest, WithoutADownloadedGitTheBareGitRuns) {
    std::string capture;
    std::string error;
#ifdef _WIN32
    // Wine's PATH has no git.
    EXPECT_EQ(builder->Git({"config", "--get", "safe.directory"}, &capture, error), -1);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_THAT(logged[0], StartsWith("git: cannot start git -c core.longpaths=true config --get safe.directory ("));
    EXPECT_EQ(capture, logged[0].substr(5) + "\n");
    EXPECT_EQ(error, "git config failed (-1), see launcher.log");
#else
    // The host's git, which reads the setting from the environment the launcher gives it.
    test::UsePortGitConfig();
    EXPECT_EQ(builder->Git({"config", "--get", "safe.directory"}, &capture, error), 0) << error;
    EXPECT_EQ(capture, "*\n");
    EXPECT_THAT(logged, ElementsAre("git: *"));
    // Checkouts deeper than MAX_PATH, which git on Windows only handles when told.
    capture.clear();
    EXPECT_EQ(builder->Git({"config", "--get", "core.longpaths"}, &capture, error), 0) << error;
    EXPECT_EQ(capture, "true\n");
#endif
}

struct FailureCase {
    const char* name;
    std::vector<std::string> arguments;
    const char* failing;  // HELPER_GIT_FAIL, or nullptr
    const char* error;
};

class GitRunFailureTest : public GitRunTest, public testing::WithParamInterface<FailureCase> {};

// The message names the git command, the first argument after the leading "-C DIR" pairs.
TEST_P(GitRunFailureTest, NamesTheGitCommand) {
    const FailureCase& c = GetParam();
    PlaceFakeGit();
    if (c.failing != nullptr) test::SetTestEnv("HELPER_GIT_FAIL", c.failing);
    std::string error;
    EXPECT_NE(builder->Git(c.arguments, nullptr, error), 0);
    EXPECT_EQ(error, c.error);
    ASSERT_EQ(Runs().size(), 1u);
    EXPECT_EQ(test::CallerArguments(Runs()[0]), c.arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, GitRunFailureTest,
    testing::Values(FailureCase{"clone",
                                {"clone", "--progress", "--branch", "main", "repo", "source"},
                                "clone",
                                "git clone failed (128), see launcher.log"},
                    FailureCase{"fetch_after_one_pair",
                                {"-C", "source", "fetch", "--progress", "origin", "main"},
                                "fetch",
                                "git fetch failed (128), see launcher.log"},
                    FailureCase{"submodule_after_two_pairs",
                                {"-C", "a", "-C", "b", "submodule", "update"},
                                "submodule",
                                "git submodule failed (128), see launcher.log"},
                    FailureCase{"no_arguments", {}, nullptr, "git  failed (1), see launcher.log"},
                    FailureCase{"only_a_pair", {"-C", "source"}, nullptr, "git  failed (1), see launcher.log"},
                    FailureCase{"a_lone_C", {"-C"}, nullptr, "git -C failed (1), see launcher.log"}),
    test::CaseName());

TEST_F(GitRunTest, TheCancelFlagStopsASleepingGit) {
    PlaceFakeGit();
    test::SetTestEnv("HELPER_TOOL_SLEEP", "60000");
    // Stops it once it has started, which its record shows.
    std::thread stopper([this] {
        std::error_code ec;
        test::WaitUntil([&] { return fs::exists(runsFile, ec); }, std::chrono::seconds(20), std::chrono::milliseconds(20));
        builder->cancel = true;
    });
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    const int code = builder->Git({"config", "--get", "safe.directory"}, nullptr, error);
    stopper.join();
    EXPECT_EQ(code, -1);
    EXPECT_EQ(error, "git config failed (-1), see launcher.log");
    EXPECT_THAT(logged, IsEmpty());
    EXPECT_EQ(Runs().size(), 1u);
    // A guard against a hang, far below the fake's minute.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace launcher
