// Whether the installed game is older than what the launcher would build: the released launcher's
// version rule, and the development launcher's branch rule with the fake git in both builds and,
// natively, the host's git against the fake port's repositories.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/builder/source_fixture.h"
#include "tests/support/case_name.h"
#ifndef _WIN32
#include "tests/support/port_repo.h"
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

// The fake git at hand, and its repository: a folder whose file tip holds its newest commit.
class SourceUpdateTest : public test::SourceFixture {
protected:
    SourceUpdateTest() {
        PlaceFakeGit();
        builder->game.repo = PathToUtf8(repo);
    }

    // A checkout that the fake git cloned at commit-1, while the server has moved on to commit-2;
    // the runs file then starts afresh.
    void CheckoutBehindItsOrigin() {
        test::WriteFile(repo / "tip", "commit-1");
        std::string error;
        ASSERT_TRUE(builder->FetchSource(error)) << error;
        test::WriteFile(repo / "tip", "commit-2");
        fs::remove(runsFile);
    }

    std::string FakeHead() const { return test::ReadFile(base / "source/.git/head"); }

    const fs::path repo = temp / "repo";
};

struct ReleaseCase {
    const char* name;
    bool installed;
    const char* built;  // nullptr: launcher.json does not say
    bool update;
};

class SourceUpdateReleaseTest : public SourceUpdateTest, public testing::WithParamInterface<ReleaseCase> {};

// A released launcher builds its own version: only the version that built the game counts, and a
// checkout that is behind its origin does not (no git runs at all).
TEST_P(SourceUpdateReleaseTest, ComparesTheBuiltVersionWithItsOwn) {
    const ReleaseCase& c = GetParam();
    CheckoutBehindItsOrigin();
    builder->game.version = "v1.0";
    if (c.installed) test::WriteFile(builder->GameExePath(), "exe");
    if (c.built != nullptr) builder->SaveSetting("built", c.built);

    bool available = !c.update;
    std::string error = "earlier error";
    EXPECT_TRUE(builder->SourceUpdateAvailable(available, error));
    EXPECT_EQ(available, c.update);
    EXPECT_EQ(error, "earlier error");
    EXPECT_THAT(Runs(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, SourceUpdateReleaseTest,
                         testing::Values(ReleaseCase{"not_installed", false, "v0.9", false},
                                         ReleaseCase{"built_by_this_version", true, "v1.0", false},
                                         ReleaseCase{"built_version_empty", true, "", true},
                                         ReleaseCase{"built_version_unknown", true, nullptr, true},
                                         ReleaseCase{"built_by_another_version", true, "v1.1", true}),
                         test::CaseName());

TEST_F(SourceUpdateTest, ADevelopmentLauncherWithoutACheckoutHasNothingToUpdate) {
    test::WriteFile(builder->GameExePath(), "exe");
    test::WriteFile(base / "source/leftover.txt", "x");
    bool available = true;
    std::string error;
    EXPECT_TRUE(builder->SourceUpdateAvailable(available, error));
    EXPECT_FALSE(available);
    EXPECT_EQ(error, "");
    EXPECT_THAT(Runs(), IsEmpty());
}

// The three runs, in the base folder: the fetch of the branch (no progress), then the two commits,
// each captured on its own.
TEST_F(SourceUpdateTest, ADevelopmentLauncherFetchesItsBranchAndComparesTheTwoCommits) {
    builder->game.branch = "stable";
    CheckoutBehindItsOrigin();
    bool available = false;
    std::string error;
    EXPECT_TRUE(builder->SourceUpdateAvailable(available, error)) << error;
    EXPECT_TRUE(available);
    const std::string source = PathToUtf8(fs::path(base / "source").make_preferred());
    std::vector<std::vector<std::string>> arguments;
    for (const test::ToolRun& run : Runs()) {
        EXPECT_EQ(run.program, PathToUtf8(FakeGitPath()));
        EXPECT_TRUE(fs::equivalent(Utf8Path(run.folder), base)) << run.folder;
        arguments.push_back(test::CallerArguments(run));
    }
    EXPECT_THAT(arguments, ElementsAre(std::vector<std::string>{"-C", source, "fetch", "origin", "stable"},
                                       std::vector<std::string>{"-C", source, "rev-parse", "HEAD"},
                                       std::vector<std::string>{"-C", source, "rev-parse", "origin/stable"}));
    EXPECT_EQ(FakeHead(), "commit-1");
}

// A development launcher in package mode plays the latest release's package: a checkout left from
// an earlier source build says nothing about it, and the package build would never move it.
TEST_F(SourceUpdateTest, InPackageModeADevelopmentLauncherAsksNoGit) {
    CheckoutBehindItsOrigin();
    builder->game.package = "Velmora2-windows.zip";
    bool available = true;
    std::string error;
    EXPECT_TRUE(builder->SourceUpdateAvailable(available, error));
    EXPECT_FALSE(available);
    EXPECT_EQ(error, "");
    EXPECT_THAT(Runs(), IsEmpty());
}

// The branch rule against a server: natively the host's git and the fake port's repositories over
// file://, under Wine the fake git and its tip file.
class SourceUpdateServerTest : public test::SourceFixture {
protected:
    SourceUpdateServerTest() {
#ifdef _WIN32
        PlaceFakeGit();
        test::WriteFile(repo / "tip", "commit-1");
        builder->game.repo = PathToUtf8(repo);
#else
        test::UsePortGitConfig();
        port = std::make_unique<test::PortRepo>(temp / "repos");
        builder->game.repo = port->Url();
#endif
    }

    void Fetch() {
        std::string error;
        ASSERT_TRUE(builder->FetchSource(error)) << error;
    }

    // What the server's branch gets next.
    void CommitOnTheServer() {
#ifdef _WIN32
        test::WriteFile(repo / "tip", "commit-2");
#else
        port->CommitVersion("2.0");
#endif
    }

    void TakeTheServerAway() {
#ifdef _WIN32
        fs::rename(repo, temp / "repo-gone");
#else
        fs::rename(port->PortGit(), temp / "repos/port-gone.git");
#endif
    }

    std::string Head() const {
#ifdef _WIN32
        return test::ReadFile(base / "source/.git/head");
#else
        return test::GitOutput({"rev-parse", "HEAD"}, base / "source");
#endif
    }

    // Asks, expecting an answer.
    bool UpdateWaiting() {
        bool available = false;
        std::string error;
        EXPECT_TRUE(builder->SourceUpdateAvailable(available, error)) << error;
        return available;
    }

    const fs::path repo = temp / "repo";
#ifndef _WIN32
    std::unique_ptr<test::PortRepo> port;
#endif
};

TEST_F(SourceUpdateServerTest, AnUpdateWaitsFromANewCommitOnTheServerUntilTheNextFetch) {
    Fetch();
    EXPECT_FALSE(UpdateWaiting());

    CommitOnTheServer();
    const std::string head = Head();
    // A change of the user's to a tracked file, which asking must not touch.
    test::WriteFile(base / "source/version.h", "#define FAKEPORT_VERSION \"changed here\"\n");
    EXPECT_TRUE(UpdateWaiting());
    EXPECT_EQ(Head(), head);
    EXPECT_EQ(test::ReadFile(base / "source/version.h"), "#define FAKEPORT_VERSION \"changed here\"\n");

    Fetch();
    EXPECT_FALSE(UpdateWaiting());
}

TEST_F(SourceUpdateServerTest, AServerThatCannotBeReachedLeavesTheQuestionOpen) {
    Fetch();
    TakeTheServerAway();
    bool available = true;
    std::string error;
    EXPECT_FALSE(builder->SourceUpdateAvailable(available, error));
    EXPECT_FALSE(available);
    EXPECT_EQ(error, "git fetch failed (128), see launcher.log");
}

}  // namespace
}  // namespace launcher
