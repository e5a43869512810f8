// The full build from source end to end: a per-test code host serves the tool list, the Visual
// Studio channel and manifest and the tools' archives; natively the tools are the host's git, cmake,
// ninja and gcc behind forwarding scripts and the port is the fake port's repository, under Wine
// they are the fake git and the fake cmake over a fake repository (a folder whose file tip is its
// newest commit).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <thread>

#include "builder/visual_studio.h"
#include "platform/library_extension.h"
#include "platform/text.h"
#include "tests/builder/package_world.h"
#include "tests/builder/visual_studio_feed.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/digests.h"
#include "tests/support/fake_http.h"
#include "tests/support/fake_tools.h"
#include "tests/support/loopback.h"
#include "tests/support/regex_matcher.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"
#ifndef _WIN32
#include "tests/support/port_repo.h"
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::Json;
using testing::Contains;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing::StartsWith;

constexpr char kToolList[] = "https://raw.githubusercontent.com/o/n/main/toolchain.json";
constexpr char kSdkCabinet[] = "e10768bb6e9d0ea730280336b697da66.cab";
constexpr char kToolsChanged[] = "the build tools changed: CMake's cache is made again";
const std::string kXbe = "XBEH the game " + std::string(1000, 'x');

// A file of the server's fixtures: the build tools' archives, the Windows SDK's installers.
std::string BuildToolArchive(const std::string& name) {
    return test::ReadFile(test::LoopbackFolder() / "build-tools" / name);
}
std::string SdkFixture(const std::string& name) {
    return test::ReadFile(test::LoopbackFolder() / "site" / "tool-fixtures" / name);
}

const std::vector<std::string> kAllStages = {
    "build tools list", "tool cmake",  "tool ninja", "tool git",          "tool msvc",
    "tool winsdk",      "game source", "game's xbe", "configure (cmake)", "compile and link (cmake --build)",
    "install"};

class BuildAllTest : public testing::Test {
protected:
    BuildAllTest() {
        game.title = "Velmora";
        game.shortName = game.exe = "Velmora2";
        game.exes = {"Velmora2"};
        game.xbe = "default.xbe";
        game.xbes = {"default.xbe"};
        game.releases[test::Sha1Of(kXbe)] = "Europe";
        game.branch = "main";
        game.toolchain = kToolList;
        test::UnsetTestEnv("NINJA_STATUS");
#ifdef _WIN32
        test::WriteFile(repo / "tip", "commit-1.0");
        game.repo = PathToUtf8(repo);
        test::SetTestEnv("HELPER_RUNS", PathToUtf8(runsFile));
#else
        test::UsePortGitConfig();
        port = std::make_unique<test::PortRepo>(temp / "repos");
        game.repo = port->Url();
#endif
        // The user's copy as a folder: its XBE and the rest of the disc.
        test::WriteFile(temp / "copy" / "default.xbe", kXbe);
        test::WriteFile(temp / "copy" / "data.bin", "level data");
        test::WriteFile(temp / "copy" / "media" / "intro.bik", "a film");
        for (const char* name : {"cmake.zip", "ninja.zip", "ninja-2.zip", "git.zip", "msvc.vsix"}) {
            host.PublishSiteFile(std::string("tools/") + name, BuildToolArchive(name));
        }
        for (const char* name : {"kit-b.msi", kSdkCabinet}) {
            host.PublishSiteFile(std::string("tools/") + name, SdkFixture(name));
        }
        PublishToolList("ninja.zip");
        host.PublishAt(kDefaultVisualStudioChannel,
                       test::ChannelText({test::ChannelItem(test::kManifestItemId, host.OutsideUrl("vs/manifest.json"))}));
        host.PublishSiteFile("vs/manifest.json",
                             test::ManifestText({test::Package("VC.14.1.CRT", {Payload("crt.vsix", "msvc.vsix")}),
                                                 test::Package("VC.14.1.CRT.Extra", {Payload("extra.vsix", "msvc.vsix")}),
                                                 test::Package("Kit", {Payload("kit-b.msi", "kit-b.msi"),
                                                                       Payload(kSdkCabinet, kSdkCabinet)})}));
        MakeBuilder(temp / "Velmora2");
    }

    ~BuildAllTest() override {
        for (const char* name : {"HELPER_RUNS", "HELPER_RECORD", "HELPER_TOOL_SLEEP"}) test::UnsetTestEnv(name);
    }

    Json Payload(const std::string& fileName, const std::string& published) const {
        const std::string bytes = test::ReadFile(host.folder() / "tools" / published);
        return test::Payload(fileName, host.OutsideUrl("tools/" + published), test::Sha256Of(bytes), bytes.size());
    }

    Json ToolEntry(const std::string& id, const std::string& published) const {
        const std::string bytes = test::ReadFile(host.folder() / "tools" / published);
        return {{"id", id},
                {"kind", "zip"},
                {"url", host.OutsideUrl("tools/" + published)},
                {"sha256", bytes.empty() ? std::string(64, '0') : test::Sha256Of(bytes)},
                {"size", bytes.empty() ? 1 : bytes.size()}};
    }

    // cmake, ninja (from the archive named, with the keys given), git, an optional tool that is
    // never fetched, and the Visual Studio entries with the runtime packages given.
    void PublishToolList(const std::string& ninja, const Json& ninjaKeys = Json::object(),
                         const std::vector<std::string>& runtime = {"VC.{v}.CRT"}) {
        Json optional = ToolEntry("ffmpeg", "ffmpeg.zip");
        optional["optional"] = true;
        Json ninjaEntry = ToolEntry("ninja", ninja);
        ninjaEntry.update(ninjaKeys);
        const Json list = {
            {"tools", {ToolEntry("cmake", "cmake.zip"), ninjaEntry, ToolEntry("git", "git.zip"), optional}},
            {"msvc", {{"version", "14.1"}, {"packages", runtime}}},
            {"sdk", {{"package", "Kit"}, {"version", "10.0.1"}, {"msis", {"kit-b.msi"}}}}};
        host.PublishAt(kToolList, list.dump());
    }

    void MakeBuilder(const fs::path& baseFolder) {
        base = baseFolder;
        builder = std::make_unique<Builder>(game, base, &host.http(), platform.get());
        builder->statusCallback = [this](const Status& status) {
            statuses.push_back(status);
            if (stopAtStep && status.detail.find(" steps") != std::string::npos) builder->cancel = true;
        };
        builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
        test::ChooseGame(*builder, temp / "copy");
    }

    bool Build() {
        logged.clear();
        statuses.clear();
        error = "before";
        return builder->BuildAll(error);
    }

    // The stages the last build logged, in order; a failed one ends in " (stopped)".
    std::vector<std::string> StageLines() const {
        static const std::regex stage(R"(^stage (.*): \d+\.\d s( \(stopped\))?$)");
        std::vector<std::string> names;
        for (const std::string& line : logged) {
            std::smatch match;
            if (std::regex_match(line, match, stage)) names.push_back(match[1].str() + match[2].str());
        }
        return names;
    }

    std::vector<std::string> LinesStartingWith(const std::string& head) const {
        std::vector<std::string> lines;
        for (const std::string& line : logged) {
            if (line.rfind(head, 0) == 0) lines.push_back(line);
        }
        return lines;
    }

    bool Logged(const std::string& line) const { return std::find(logged.begin(), logged.end(), line) != logged.end(); }

    fs::path Play() const { return base / "play"; }
    std::string Exe(const std::string& stem) const { return stem + platform->ExeSuffix(); }

    // What the play folder holds.
    std::vector<std::string> Installed() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(Play())) {
            names.push_back(PathToUtf8(entry.path().filename()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    // A new commit on the port's branch, setting its version.
    void NewCommit(const std::string& version) {
#ifdef _WIN32
        test::WriteFile(repo / "tip", "commit-" + version);
#else
        port->CommitVersion(version);
#endif
    }

    // The commit checked out in source/.
    std::string CheckedOut() const {
#ifdef _WIN32
        return test::ReadFile(base / "source/.git/head");
#else
        return test::GitOutput({"rev-parse", "HEAD"}, base / "source");
#endif
    }

    // The commit a branch or tag names in the repository.
    std::string Commit(const std::string& ref) const {
#ifdef _WIN32
        (void)ref;
        return test::ReadFile(repo / "tip");
#else
        return port->Commit(ref);
#endif
    }

    void RemoveRepository() {
#ifdef _WIN32
        fs::rename(repo, temp / "repo-gone");
#else
        fs::rename(port->PortGit(), temp / "repos/port-gone.git");
#endif
    }

    // Starts the installed game, which shows that it runs: natively the fake port writes its version
    // (the port's and the submodule's) to play/version.txt; under Wine the stub records where it ran.
    void ExpectTheGameStarts(const std::string& version) {
#ifdef _WIN32
        (void)version;
        const fs::path record = temp / "game-record.txt";
        test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));
        std::string startError;
        ASSERT_TRUE(builder->StartGame(startError)) << startError;
        const std::vector<std::string> lines = test::WaitForRecord(record);
        test::UnsetTestEnv("HELPER_RECORD");
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_TRUE(fs::equivalent(Utf8Path(lines[1]), Play())) << lines[1];
#else
        const fs::path written = Play() / "version.txt";
        fs::remove(written);
        std::string startError;
        ASSERT_TRUE(builder->StartGame(startError)) << startError;
        for (int i = 0; i < 200 && test::ReadFile(written).empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_EQ(test::ReadFile(written), version + " third 1\n");
#endif
    }

    test::CodeHost host;
    test::TempFolder temp;
#ifdef _WIN32
    const fs::path repo = temp / "repo";
    const fs::path runsFile = temp / "runs.txt";
#else
    std::unique_ptr<test::PortRepo> port;
#endif
    std::unique_ptr<Platform> platform = test::MakeTestPlatform();
    Game game;
    fs::path base;
    std::unique_ptr<Builder> builder;
    std::vector<Status> statuses;
    std::vector<std::string> logged;
    bool stopAtStep = false;
    std::string error;
};

TEST_F(BuildAllTest, AFirstBuildInstallsTheGameAndTheNextChangesNothing) {
    ASSERT_TRUE(Build()) << error;
    EXPECT_EQ(StageLines(), kAllStages);
    EXPECT_THAT(LinesStartingWith("timing: "),
                Contains(test::FullyMatches("timing: 11 stages, [0-9]+\\.[0-9] s in all")));
    EXPECT_EQ(LinesStartingWith("timing: ").size(), 12u);
    EXPECT_THAT(LinesStartingWith("build stopped: "), IsEmpty());
    // git's progress and the build tool's steps reach the window; the last status says it is ready.
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [](const Status& status) {
        return status.title == "Downloading the game's source" && status.fraction >= 0.0 && !status.detail.empty();
    }));
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [](const Status& status) {
        return status.title == "Building Velmora" && status.detail.find(" steps") != std::string::npos;
    }));
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().title, "Ready");
    EXPECT_EQ(statuses.back().detail, "");
    EXPECT_EQ(statuses.back().fraction, 1.0);
    // The game and its library; not the test program, not the debug database.
    std::vector<std::string> expected = {Exe("Velmora2"), std::string("Velmora2") + kLibraryExtension};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Installed(), expected);
    EXPECT_EQ(builder->BuiltVersion(), "dev");
    EXPECT_EQ(CheckedOut(), Commit("main"));
    ExpectTheGameStarts("1.0");

    // Again with nothing new: no download, no XBE written, CMake's cache kept, the user's own
    // file in the checkout kept.
    test::WriteFile(base / "source/notes.txt", "mine");
    ASSERT_TRUE(Build()) << error;
    EXPECT_EQ(StageLines(), kAllStages);
    EXPECT_THAT(LinesStartingWith("download "), IsEmpty());
    EXPECT_THAT(LinesStartingWith("xbe written to "), IsEmpty());
    EXPECT_FALSE(Logged(kToolsChanged));
    EXPECT_EQ(test::ReadFile(base / "source/notes.txt"), "mine");
}

TEST_F(BuildAllTest, ANewCommitIsBuiltAndInstalled) {
    ASSERT_TRUE(Build()) << error;
    NewCommit("2.0");
    ASSERT_TRUE(Build()) << error;
    EXPECT_EQ(CheckedOut(), Commit("main"));
    ExpectTheGameStarts("2.0");
}

TEST_F(BuildAllTest, ANewReleaseOfAToolIsInstalledAndCMakesCacheMadeAgain) {
    ASSERT_TRUE(Build()) << error;
    PublishToolList("ninja-2.zip");
    ASSERT_TRUE(Build()) << error;
    EXPECT_THAT(LinesStartingWith("download "), ElementsAre("download " + host.OutsideUrl("tools/ninja-2.zip")));
    EXPECT_TRUE(Logged(kToolsChanged));
    EXPECT_TRUE(fs::exists(builder->ToolDir("ninja") / "README.txt"));
}

// The same archives taken another way are another installation: the tool comes again in its new
// layout, and the build files are made again for it.
TEST_F(BuildAllTest, AnotherSelectionOfTheSameFilesIsInstalledAgainAndCMakesCacheMadeAgain) {
    ASSERT_TRUE(Build()) << error;
    ASSERT_TRUE(fs::exists(builder->ToolDir("ninja") / Exe("ninja")));
    const std::string ninja = "download " + host.OutsideUrl("tools/ninja.zip");
    const std::string msvc = "download " + host.OutsideUrl("tools/msvc.vsix");
    struct Change {
        const char* name;
        Json ninjaKeys;
        std::vector<std::string> runtime;
        std::vector<std::string> downloads;
    };
    // ninja.zip holds the program at its top: stripping one folder, or reading it as a VSIX
    // (Contents/ only), leaves nothing of it. The host's ninja is on PATH natively, and under Wine
    // the fake cmake runs none.
    const std::vector<Change> changes = {
        {"strip", {{"strip", 1}}, {"VC.{v}.CRT"}, {ninja}},
        {"kind", {{"strip", 1}, {"kind", "vsix"}}, {"VC.{v}.CRT"}, {ninja}},
        {"runtime package", {{"strip", 1}, {"kind", "vsix"}}, {"VC.{v}.CRT", "VC.{v}.CRT.Extra"}, {msvc, msvc}},
    };
    for (const Change& change : changes) {
        PublishToolList("ninja.zip", change.ninjaKeys, change.runtime);
        ASSERT_TRUE(Build()) << change.name << ": " << error;
        EXPECT_EQ(LinesStartingWith("download "), change.downloads) << change.name;
        EXPECT_TRUE(Logged(kToolsChanged)) << change.name;
        EXPECT_FALSE(fs::exists(builder->ToolDir("ninja") / Exe("ninja"))) << change.name;
    }
    EXPECT_TRUE(fs::exists(builder->ToolDir("msvc") / "VC/Tools/MSVC/14.1.0/include/vcruntime.h"));

    // The same list again: nothing is downloaded, and the cache stays.
    host.http().asked.clear();
    ASSERT_TRUE(Build()) << error;
    EXPECT_THAT(LinesStartingWith("download "), IsEmpty());
    EXPECT_FALSE(Logged(kToolsChanged));
    EXPECT_THAT(host.http().asked, ElementsAre(kToolList, kDefaultVisualStudioChannel, host.OutsideUrl("vs/manifest.json")));
}

// A git ended at once (a Stop on Windows) leaves its locks in the checkout; the next build goes on.
TEST_F(BuildAllTest, LocksLeftInTheCheckoutDoNotStopTheNextBuild) {
    ASSERT_TRUE(Build()) << error;
    NewCommit("2.0");
    std::vector<fs::path> locks = {base / "source/.git/index.lock", base / "source/.git/HEAD.lock"};
#ifndef _WIN32
    locks.push_back(base / "source/.git/refs/remotes/origin/main.lock");
    for (const fs::directory_entry& module : fs::directory_iterator(base / "source/.git/modules")) {
        locks.push_back(module.path() / "index.lock");
    }
#endif
    for (const fs::path& lock : locks) test::WriteFile(lock, "");
    test::WriteFile(base / "source/.git/keep.txt", "not a lock");
    ASSERT_TRUE(Build()) << error;
    for (const fs::path& lock : locks) EXPECT_FALSE(fs::exists(lock)) << PathToUtf8(lock);
    EXPECT_TRUE(fs::exists(base / "source/.git/keep.txt"));
    EXPECT_EQ(CheckedOut(), Commit("main"));
}

#ifndef _WIN32
// A repository that asks for credentials (gone, or private) fails at once with git's own words: no
// prompt waits where nobody can answer it.
TEST_F(BuildAllTest, ARepositoryThatAsksForCredentialsFailsAtOnce) {
    game.repo = test::LoopbackUrl("http", "/status/401/port.git");
    MakeBuilder(base);
    EXPECT_FALSE(Build());
    EXPECT_EQ(error, "git clone failed (128), see launcher.log");
    EXPECT_THAT(logged, Contains(HasSubstr("terminal prompts disabled")));
}
#endif

TEST_F(BuildAllTest, AStopDuringTheCompileLeavesTheLastBuildAndTheNextBuildCarriesOn) {
    ASSERT_TRUE(Build()) << error;
    builder->SaveSetting("built", "before");
    NewCommit("3.0");
#ifdef _WIN32
    test::SetTestEnv("HELPER_TOOL_SLEEP", "300");
#else
    // A build step that takes a minute; the stop must end it too.
    test::WriteFile(base / "source/slow-build", "");
#endif
    stopAtStep = true;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Build());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 60.0);
    EXPECT_EQ(error, "cancelled");
    EXPECT_THAT(LinesStartingWith("build stopped: "), IsEmpty());
    EXPECT_EQ(StageLines().back(), "compile and link (cmake --build) (stopped)");
    EXPECT_THAT(LinesStartingWith("timing: "), Contains(StartsWith("timing: 10 stages, ")));
    EXPECT_EQ(builder->BuiltVersion(), "before");

    stopAtStep = false;
#ifdef _WIN32
    test::UnsetTestEnv("HELPER_TOOL_SLEEP");
#else
    fs::remove(base / "source/slow-build");
#endif
    ASSERT_TRUE(Build()) << error;
    EXPECT_EQ(builder->BuiltVersion(), "dev");
    ExpectTheGameStarts("3.0");
}

// A tool that cannot be had stops the build at its stage: the tools before it are in place, the
// ones after it not even tried.
TEST_F(BuildAllTest, AToolThatCannotBeDownloadedStopsTheBuild) {
    fs::remove(host.folder() / "tools/ninja.zip");
    ASSERT_FALSE(Build());
    EXPECT_THAT(error, StartsWith("Could not download ninja.zip: "));
    EXPECT_THAT(error, HasSubstr("404"));
    EXPECT_THAT(StageLines(), ElementsAre("build tools list", "tool cmake", "tool ninja (stopped)"));
    const std::vector<std::string> timing = LinesStartingWith("timing: ");
    ASSERT_EQ(timing.size(), 4u);
    EXPECT_THAT(timing[0], StartsWith("timing: 3 stages, "));
    EXPECT_THAT(timing[3], testing::EndsWith("%  tool ninja"));
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back(), "build stopped: " + error);
    EXPECT_TRUE(fs::exists(builder->ToolDir("cmake") / ".launcher-stamp"));
    for (const char* later : {"git", "msvc", "winsdk"}) EXPECT_FALSE(fs::exists(builder->ToolDir(later))) << later;
    EXPECT_FALSE(fs::exists(base / "source"));
}

struct MissingRepositoryCase {
    const char* name;
    bool builtBefore;
    const char* error;
};

class BuildAllRepositoryTest : public BuildAllTest, public testing::WithParamInterface<MissingRepositoryCase> {};

TEST_P(BuildAllRepositoryTest, AMissingRepositoryStopsTheBuildAtTheSource) {
    const MissingRepositoryCase& c = GetParam();
    if (c.builtBefore) {
        ASSERT_TRUE(Build()) << error;
    }
    RemoveRepository();
    EXPECT_FALSE(Build());
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(StageLines().back(), "game source (stopped)");
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back(), std::string("build stopped: ") + c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Checkouts, BuildAllRepositoryTest,
    testing::Values(MissingRepositoryCase{"fresh", false, "git clone failed (128), see launcher.log"},
                    MissingRepositoryCase{"after_a_build", true, "git fetch failed (128), see launcher.log"}),
    test::CaseName());

TEST_F(BuildAllTest, AReleasedLauncherBuildsItsTag) {
    NewCommit("2.0");
    game.version = "v1.0";
    MakeBuilder(base);
    ASSERT_TRUE(Build()) << error;
    EXPECT_EQ(builder->BuiltVersion(), "v1.0");
#ifdef _WIN32
    const std::vector<test::ToolRun> runs = test::ReadToolRuns(runsFile);
    ASSERT_FALSE(runs.empty());
    EXPECT_THAT(runs.front().arguments, testing::IsSupersetOf({"clone", "--branch", "v1.0"}));
#else
    EXPECT_EQ(CheckedOut(), Commit("v1.0"));
    ExpectTheGameStarts("1.0");
#endif
}

// A first build in a folder whose path is too long stops before any stage; an installed game
// updates wherever it is.
class BuildAllPathTest : public BuildAllTest {
protected:
    // A base folder of exactly units UTF-16 code units (all ASCII) in the temporary folder.
    fs::path BaseOfLength(size_t units) const {
        const std::string prefix = PathToUtf8(temp / "");
        EXPECT_LT(prefix.size(), units);
        return Utf8Path(prefix + std::string(units - prefix.size(), 'v'));
    }
};

TEST_F(BuildAllPathTest, AFirstBuildInTooLongAPathStopsBeforeAnyStage) {
    MakeBuilder(BaseOfLength(81));
    EXPECT_FALSE(Build());
    EXPECT_THAT(error, StartsWith("This folder's path is too long for Microsoft's Windows SDK installer (81 "
                                  "characters, at most 80): "));
    EXPECT_THAT(StageLines(), IsEmpty());
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_THAT(logged[0], StartsWith("build started "));
    EXPECT_EQ(logged[1], "timing: 0 stages, 0.0 s in all");
    EXPECT_EQ(logged[2], "build stopped: " + error);
    EXPECT_THAT(host.http().asked, IsEmpty());
}

TEST_F(BuildAllPathTest, AnInstalledGameIsBuiltInTooLongAPath) {
    MakeBuilder(BaseOfLength(100));
    test::WriteFile(builder->GameExePath(), "the game built before");
    fs::remove(host.folder() / "tools/cmake.zip");
    EXPECT_FALSE(Build());
    EXPECT_THAT(error, StartsWith("Could not download cmake.zip: "));
    EXPECT_THAT(StageLines(), ElementsAre("build tools list", "tool cmake (stopped)"));
}

// With a package the package build does the whole job, even over a game built from source.
TEST(BuildAllPackageTest, APackageGameIsBuiltFromItsPackage) {
    test::TempFolder temp;
    const fs::path base = test::BaseFolderIn(temp.path());
    test::PlacePackageBesideTheLauncher(temp.path());
    const std::unique_ptr<Platform> platform = test::MakeTestPlatform();
    test::FakeHttp offline;
    Builder builder(test::PackageGame(), base, &offline, platform.get());
    std::vector<std::string> logged;
    builder.logCallback = [&logged](const std::string& line) { logged.push_back(line); };
    test::ChooseGame(builder, temp / "disc");
    test::WriteFile(builder.GameExePath(), "built from source");
    test::WriteFile(base / "source/out/build/release/CMakeCache.txt", "");
    builder.cancel = true;

    std::string error;
    ASSERT_TRUE(builder.BuildAll(error)) << error;
    EXPECT_EQ(test::ReadFile(builder.GameExePath()), test::ReadFile(test::HelperChildPath()));
    EXPECT_THAT(logged, Not(Contains(StartsWith("stage build tools list"))));
    EXPECT_THAT(logged, Contains(StartsWith("stage package unpack: ")));
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [](const std::string& line) { return line.rfind("build started ", 0) == 0; }),
              1);
    EXPECT_THAT(offline.asked, IsEmpty());
}

}  // namespace
}  // namespace launcher
