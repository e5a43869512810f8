// The port's source in source/: the git runs of a fresh clone and of an update, in both builds with
// the fake git, natively also with the host's git and the fake port's repositories.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "builder/git_run.h"
#include "platform/error_text.h"
#include "platform/path_status.h"
#include "tests/builder/source_fixture.h"
#include "tests/support/case_name.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>

#include "tests/support/port_repo.h"
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

using ArgumentLists = std::vector<std::vector<std::string>>;

// The git command of a run: its first argument after the leading "-C DIR" pairs.
std::string CommandOf(const test::ToolRun& run) {
    const std::vector<std::string> arguments = test::CallerArguments(run);
    size_t i = 0;
    while (i + 1 < arguments.size() && arguments[i] == "-C") i += 2;
    return i < arguments.size() ? arguments[i] : "";
}

// The fake git's repository: a folder whose file tip holds its newest commit.
class FakeGitSource : public test::SourceFixture {
protected:
    FakeGitSource() {
        PlaceFakeGit();
        test::WriteFile(repo / "tip", "commit-1");
        builder->game.repo = PathToUtf8(repo);
    }

    std::string Head() const { return test::ReadFile(base / "source/.git/head"); }

    std::vector<std::string> Commands() const {
        std::vector<std::string> commands;
        for (const test::ToolRun& run : Runs()) commands.push_back(CommandOf(run));
        return commands;
    }

    const fs::path repo = temp / "repo";
};

struct ModeCase {
    const char* name;
    const char* version;
    // "{src}" and "{repo}" stand for the source folder and the repository as git is given them.
    ArgumentLists fresh;
    ArgumentLists update;
};

class FetchSourceModeTest : public FakeGitSource, public testing::WithParamInterface<ModeCase> {
protected:
    ArgumentLists Expand(const ArgumentLists& lists) const {
        ArgumentLists expanded = lists;
        for (std::vector<std::string>& arguments : expanded) {
            for (std::string& argument : arguments) {
                if (argument == "{src}") argument = PathToUtf8(fs::path(base / "source").make_preferred());
                if (argument == "{repo}") argument = PathToUtf8(repo);
            }
        }
        return expanded;
    }

    ArgumentLists RecordedArguments() const {
        ArgumentLists lists;
        for (const test::ToolRun& run : Runs()) {
            EXPECT_EQ(run.program, PathToUtf8(FakeGitPath()));
            EXPECT_TRUE(fs::equivalent(Utf8Path(run.folder), base)) << run.folder;
            lists.push_back(test::CallerArguments(run));
        }
        return lists;
    }
};

TEST_P(FetchSourceModeTest, ClonesAfreshThenFetchesAndResets) {
    const ModeCase& c = GetParam();
    builder->game.version = c.version;
    // What an interrupted clone may leave: no .git, files and a folder with files in it.
    test::WriteFile(base / "source/partial.pack", "x");
    test::WriteFile(base / "source/out/build/a.obj", "x");

    std::string error;
    ASSERT_TRUE(builder->FetchSource(error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(RecordedArguments(), Expand(c.fresh));
    EXPECT_FALSE(fs::exists(base / "source/partial.pack"));
    EXPECT_FALSE(fs::exists(base / "source/out"));
    EXPECT_EQ(Head(), "commit-1");
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses[0].title, "Downloading the game's source");
    EXPECT_EQ(statuses[0].detail, "");
    EXPECT_EQ(statuses[0].fraction, -1.0);
    std::vector<double> fractions;
    for (const Status& status : statuses) {
        if (status.detail == "Receiving objects") fractions.push_back(status.fraction);
    }
    EXPECT_THAT(fractions, ElementsAre(0.5, 1.0));

    test::WriteFile(repo / "tip", "commit-2");
    fs::remove(runsFile);
    statuses.clear();
    ASSERT_TRUE(builder->FetchSource(error)) << error;
    EXPECT_EQ(RecordedArguments(), Expand(c.update));
    EXPECT_EQ(Head(), "commit-2");
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(statuses[0].title, "Downloading the game's source");
    EXPECT_EQ(statuses[0].fraction, -1.0);
}

const std::vector<std::string> kSubmodules = {"-C",     "{src}",       "submodule", "update",
                                              "--init", "--recursive", "--progress"};

INSTANTIATE_TEST_SUITE_P(
    Modes, FetchSourceModeTest,
    testing::Values(ModeCase{"development_builds_the_branch",
                             "dev",
                             {{"clone", "--progress", "--branch", "main", "{repo}", "{src}"}, kSubmodules},
                             {{"-C", "{src}", "fetch", "--progress", "origin", "main"},
                              {"-C", "{src}", "reset", "--hard", "origin/main"},
                              kSubmodules}},
                    ModeCase{
                        "release_builds_its_tag",
                        "v1.0",
                        {{"clone", "--progress", "--branch", "v1.0", "{repo}", "{src}"}, kSubmodules},
                        {{"-C", "{src}", "fetch", "--progress", "--force", "origin", "refs/tags/v1.0:refs/tags/v1.0"},
                         {"-C", "{src}", "reset", "--hard", "v1.0"},
                         kSubmodules}}),
    test::CaseName());

struct FailureCase {
    const char* name;
    bool checkout;        // an earlier fetch made one
    const char* failing;  // the command the fake fails
    std::vector<std::string> commands;
    const char* error;
};

class FetchSourceFailureTest : public FakeGitSource, public testing::WithParamInterface<FailureCase> {};

// A failing step ends the fetch at once, and the message names its git command.
TEST_P(FetchSourceFailureTest, StopsAtTheFailingStep) {
    const FailureCase& c = GetParam();
    std::string error;
    if (c.checkout) {
        ASSERT_TRUE(builder->FetchSource(error)) << error;
        fs::remove(runsFile);
    }
    test::SetTestEnv("HELPER_GIT_FAIL", c.failing);
    EXPECT_FALSE(builder->FetchSource(error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(Commands(), c.commands);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FetchSourceFailureTest,
    testing::Values(FailureCase{"clone", false, "clone", {"clone"}, "git clone failed (128), see launcher.log"},
                    FailureCase{"submodules_after_a_clone",
                                false,
                                "submodule",
                                {"clone", "submodule"},
                                "git submodule failed (128), see launcher.log"},
                    FailureCase{"fetch", true, "fetch", {"fetch"}, "git fetch failed (128), see launcher.log"},
                    FailureCase{"reset", true, "reset", {"fetch", "reset"}, "git reset failed (128), see launcher.log"},
                    FailureCase{"submodules_after_an_update",
                                true,
                                "submodule",
                                {"fetch", "reset", "submodule"},
                                "git submodule failed (128), see launcher.log"}),
    test::CaseName());

// A .git that cannot be read is not a missing checkout: nothing is deleted and git does not run
// (here it could not: there is none in that base folder, and the bare one would log its lines).
TEST(FetchSourceTest, ACheckoutThatCannotBeReadIsLeftAsItIs) {
    const fs::path base = test::PathFromEnvironment("LAUNCHER_LINK_FIXTURE") / "loop";
    const std::unique_ptr<Platform> platform = MakePlatform();
    Game game;
    game.repo = "unused";
    game.branch = "main";
    Builder builder(game, base, nullptr, platform.get());
    std::vector<std::string> logged;
    builder.logCallback = [&logged](const std::string& line) { logged.push_back(line); };

    std::string error;
    EXPECT_FALSE(builder.FetchSource(error));
#ifdef _WIN32
    const std::uint32_t code = ERROR_CANT_RESOLVE_FILENAME;  // as Wine reports a Linux link loop
#else
    const std::uint32_t code = ELOOP;
#endif
    fs::path git = base / "source" / ".git";
    EXPECT_EQ(error,
              ComposeErrorText("Could not read " + PathToUtf8(git.make_preferred()), code, SystemErrorText(code)));
    EXPECT_EQ(test::ReadFile(base / "source/keep.txt"), "keep");
    // Still there, and still a loop.
    std::uint32_t again = 0;
    EXPECT_EQ(QueryPresence(git, again), PathPresence::Unknown);
    EXPECT_THAT(logged, IsEmpty());
}

#ifndef _WIN32
// The host's git against the fake port's repositories, over file:// as a remote would be.
class FetchSourceRealGitTest : public test::SourceFixture {
protected:
    FetchSourceRealGitTest() {
        test::UsePortGitConfig();
        port = std::make_unique<test::PortRepo>(temp / "repos");
        builder->game.repo = port->Url();
    }

    std::string Head() const { return test::GitOutput({"rev-parse", "HEAD"}, base / "source"); }

    bool Fetch() {
        std::string error;
        const bool ok = builder->FetchSource(error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    std::unique_ptr<test::PortRepo> port;
};

TEST_F(FetchSourceRealGitTest, ClonesTheBranchWithItsSubmoduleInPlaceOfAFolderWithoutGit) {
    test::WriteFile(base / "source/leftover/file.txt", "x");
    ASSERT_TRUE(Fetch());
    EXPECT_EQ(Head(), port->Commit("main"));
    EXPECT_EQ(test::ReadFile(base / "source/third/include/third.h"), "#define THIRD_TEXT \"third 1\"\n");
    EXPECT_FALSE(fs::exists(base / "source/leftover"));
    // git's own progress lines reach the window.
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [](const Status& status) {
        return status.title == "Downloading the game's source" && status.fraction >= 0.0 && !status.detail.empty();
    }));
}

TEST_F(FetchSourceRealGitTest, AnUpdateRestoresTrackedFilesAndKeepsUntrackedOnes) {
    ASSERT_TRUE(Fetch());
    port->CommitVersion("2.0");
    test::WriteFile(base / "source/version.h", "#define FAKEPORT_VERSION \"changed here\"\n");
    test::WriteFile(base / "source/notes.txt", "mine");
    ASSERT_TRUE(Fetch());
    EXPECT_EQ(Head(), port->Commit("main"));
    EXPECT_EQ(test::ReadFile(base / "source/version.h"), "#define FAKEPORT_VERSION \"2.0\"\n");
    EXPECT_EQ(test::ReadFile(base / "source/notes.txt"), "mine");
}

TEST_F(FetchSourceRealGitTest, AReleaseFollowsItsTagWhenTheTagMoves) {
    builder->game.version = "v1.0";
    ASSERT_TRUE(Fetch());
    const std::string first = port->Commit("v1.0");
    EXPECT_EQ(Head(), first);
    port->CommitVersion("1.0.1");
    port->MoveTag();
    ASSERT_TRUE(Fetch());
    EXPECT_NE(port->Commit("v1.0"), first);
    EXPECT_EQ(Head(), port->Commit("v1.0"));
    EXPECT_EQ(test::ReadFile(base / "source/version.h"), "#define FAKEPORT_VERSION \"1.0.1\"\n");
}

TEST_F(FetchSourceRealGitTest, AMissingRepositoryFailsTheClone) {
    builder->game.repo = "file://" + PathToUtf8(temp / "repos/missing.git");
    std::string error;
    EXPECT_FALSE(builder->FetchSource(error));
    EXPECT_EQ(error, "git clone failed (128), see launcher.log");
}

TEST_F(FetchSourceRealGitTest, AMissingSubmoduleRepositoryFailsOnlyTheSubmoduleStep) {
    fs::rename(port->ThirdGit(), temp / "repos/third-gone.git");
    std::string error;
    EXPECT_FALSE(builder->FetchSource(error));
    EXPECT_EQ(error, "git submodule failed (1), see launcher.log");
    EXPECT_EQ(Head(), port->Commit("main"));
}
#endif

}  // namespace
}  // namespace launcher
