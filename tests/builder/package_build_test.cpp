// The package build end to end: the loopback server stands in for the code host, the real HTTP
// client of the build (libcurl, or WinHTTP under Wine) fetches, and the helper child in the package
// is the port that prepares its code.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "builder/package_pipeline.h"
#include "platform/text.h"
#include "tests/builder/package_world.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/digests.h"
#include "tests/support/fake_http.h"
#include "tests/support/immutable_file.h"
#include "tests/support/regex_matcher.h"
#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include "tests/support/held_file.h"
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::kPackageFixtureName;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::StartsWith;

constexpr char kLatest[] = "https://api.github.com/repos/o/n/releases/latest";
constexpr char kBuildTitle[] = "Building Velmora for this PC";
constexpr char kNotBuilt[] = "The game's code could not be built, see launcher.log";

std::string ReleaseAddress(const std::string& tag, const std::string& name) {
    return "https://github.com/o/n/releases/download/" + tag + "/" + name;
}

struct SeenStatus {
    Status status;
    int phase;
};

class PackageBuildTest : public testing::Test {
protected:
    void SetUp() override { game = test::PackageGame(); }

    // A Builder over http with the copy of the game chosen (unless told otherwise).
    Builder& MakeBuilder(Http* http, bool chosen = true) {
        builder = std::make_unique<Builder>(game, base, http, platform.get());
        builder->statusCallback = [this](const Status& status) {
            seen.push_back(SeenStatus{status, builder->phase.load()});
            if (status.title == kBuildTitle && status.detail == "Starting" && !script.empty()) {
                test::WriteFile(next / "fakeport.txt", script);
            }
            if (onStatus) onStatus(status);
        };
        builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
        if (chosen) test::ChooseGame(*builder, temp / "disc");
        return *builder;
    }

    bool Build() {
        logged.clear();
        seen.clear();
        error = "before";
        return builder->BuildPackage(error);
    }

    // The names of the stages the last run logged, in order.
    std::vector<std::string> StageLines() const {
        static const std::regex stage(R"(^stage (.*): \d+\.\d s( \(stopped\))?$)");
        std::vector<std::string> names;
        for (const std::string& line : logged) {
            std::smatch match;
            if (std::regex_match(line, match, stage)) names.push_back(match[1]);
        }
        return names;
    }

    // The timing summary of the last run: its head line, then one line per stage in order.
    void ExpectTimingSummary(const std::vector<std::string>& stages) const {
        const auto head = std::find_if(logged.begin(), logged.end(),
                                       [](const std::string& line) { return line.starts_with("timing: "); });
        ASSERT_NE(head, logged.end());
        EXPECT_THAT(
            *head, test::FullyMatches("timing: " + std::to_string(stages.size()) + " stages, [0-9]+\\.[0-9] s in all"));
        ASSERT_GE(static_cast<size_t>(logged.end() - head), stages.size() + 1);
        for (size_t i = 0; i < stages.size(); ++i) {
            EXPECT_THAT(*(head + 1 + i), testing::EndsWith("%  " + stages[i]));
        }
    }

    bool Logged(const std::string& line) const { return std::find(logged.begin(), logged.end(), line) != logged.end(); }

    bool AnyLogStartsWith(const std::string& head) const {
        return std::any_of(logged.begin(), logged.end(),
                           [&](const std::string& line) { return line.starts_with(head); });
    }

    std::string ExeSuffix() const { return platform->ExeSuffix(); }

    test::CodeHost host;
    test::TempFolder temp;
    fs::path base = test::BaseFolderIn(temp.path());
    fs::path play = base / "play";
    fs::path next = play / ".next";
    fs::path downloaded = base / "downloads" / kPackageFixtureName;
    std::unique_ptr<Platform> platform = MakePlatform();
    Game game;
    std::unique_ptr<Builder> builder;
    std::vector<SeenStatus> seen;
    std::vector<std::string> logged;
    std::string script;  // written as .next/fakeport.txt when the port is about to start
    std::function<void(const Status&)> onStatus;
    std::string error;
    const std::string digest = test::Sha256Of(test::ReadFile(test::PackageFixturePath()));
};

TEST_F(PackageBuildTest, AFirstInstallByADevelopmentLauncher) {
    host.PublishLatestRelease("o/n", "v2.0.0");
    host.PublishPackage("o/n", "v2.0.0");
    MakeBuilder(&host.http());
    ASSERT_TRUE(Build()) << error;

    EXPECT_EQ(error, "before");
    EXPECT_THAT(host.http().asked, ElementsAre(kLatest, ReleaseAddress("v2.0.0", "Velmora2-package.zip.json"),
                                               ReleaseAddress("v2.0.0", kPackageFixtureName)));
    const std::vector<std::string> stages = {"package download", "package unpack", "compile game code",
                                             "replace the game"};
    EXPECT_EQ(StageLines(), stages);
    ExpectTimingSummary(stages);
    EXPECT_FALSE(fs::exists(next));
    EXPECT_FALSE(fs::exists(downloaded));
    test::ExpectNewVersion(play, ExeSuffix(), digest, false);
    EXPECT_EQ(builder->BuiltVersion(), "dev");
    EXPECT_EQ(builder->phase, 4);
    EXPECT_FALSE(AnyLogStartsWith("build stopped: "));

    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().status.title, "Ready");
    EXPECT_EQ(seen.back().status.detail, "");
    EXPECT_EQ(seen.back().status.fraction, 1.0);
    EXPECT_EQ(seen.back().phase, 4);
    // Each step's statuses come while the phase names that step.
    const std::map<std::string, int> phaseOfTitle = {
        {"Downloading the game's package", 1}, {"Unpacking the game's package", 2}, {kBuildTitle, 3}};
    std::set<int> phases;
    for (const SeenStatus& status : seen) {
        const auto step = phaseOfTitle.find(status.status.title);
        if (step == phaseOfTitle.end()) continue;
        EXPECT_EQ(status.phase, step->second) << status.status.title;
        phases.insert(status.phase);
    }
    EXPECT_THAT(phases, ElementsAre(1, 2, 3));
}

TEST_F(PackageBuildTest, APackageBesideTheLauncherNeedsNoNetworkAndStays) {
    const fs::path package = test::PlacePackageBesideTheLauncher(temp.path());
    const std::string stamp = test::StampOfPackageBesideTheLauncher(package);
    test::FakeHttp offline;
    MakeBuilder(&offline);
    ASSERT_TRUE(Build()) << error;

    EXPECT_THAT(offline.asked, IsEmpty());
    EXPECT_TRUE(Logged("package beside the launcher: " + PathToUtf8(package)));
    const std::vector<std::string> stages = {"package unpack", "compile game code", "replace the game"};
    EXPECT_EQ(StageLines(), stages);
    ExpectTimingSummary(stages);
    EXPECT_EQ(test::ReadFile(package), test::ReadFile(test::PackageFixturePath()));
    test::ExpectNewVersion(play, ExeSuffix(), stamp, false);
    EXPECT_THAT(stamp, test::FullyMatches("[0-9]+ -?[0-9]+"));
    EXPECT_FALSE(fs::exists(next));
}

TEST_F(PackageBuildTest, AfterASuccessTheNextRunDoesTheWholeJobAgain) {
    host.PublishLatestRelease("o/n", "v2.0.0");
    host.PublishPackage("o/n", "v2.0.0");
    test::PlaceUserFiles(play);
    MakeBuilder(&host.http());
    ASSERT_TRUE(Build()) << error;
    test::ExpectNewVersion(play, ExeSuffix(), digest, true);
    const std::map<std::string, std::string> installed = test::PlayTree(play);

    host.http().asked.clear();
    ASSERT_TRUE(Build()) << error;
    EXPECT_THAT(host.http().asked, ElementsAre(kLatest, ReleaseAddress("v2.0.0", "Velmora2-package.zip.json"),
                                               ReleaseAddress("v2.0.0", kPackageFixtureName)));
    EXPECT_THAT(StageLines(),
                ElementsAre("package download", "package unpack", "compile game code", "replace the game"));
    EXPECT_EQ(test::PlayTree(play), installed);
    EXPECT_EQ(test::UserFilesIn(play), test::UserFiles());
}

// A side folder of another package, not empty, goes as a whole before the unpack: nothing of it
// reaches the game.
TEST_F(PackageBuildTest, AnotherPackagesSideFolderIsClearedBeforeTheUnpack) {
    const fs::path package = test::PlacePackageBesideTheLauncher(temp.path());
    test::WriteFile(next / "package.stamp", "another package");
    test::WriteFile(next / "stale" / "old.bin", "from another package");
    test::WriteFile(next / "stale.bin", "from another package");
    MakeBuilder(&host.http());
    ASSERT_TRUE(Build()) << error;
    test::ExpectNewVersion(play, ExeSuffix(), test::StampOfPackageBesideTheLauncher(package), false);
}

// A side folder that cannot be emptied (a file of another package held open) would bring what is
// left of it into the game: the build stops before the unpack.
TEST_F(PackageBuildTest, ASideFolderThatCannotBeEmptiedStopsTheBuildBeforeTheUnpack) {
    test::PlacePackageBesideTheLauncher(temp.path());
    test::PlaceUserFiles(play);
    test::PlaceOlderVersion(play, ExeSuffix());
    const std::map<std::string, std::string> before = test::PlayTree(play);
    test::WriteFile(next / "package.stamp", "another package");
    test::WriteFile(next / "left.bin", "from another package");
    MakeBuilder(&host.http());
    {
#ifdef _WIN32
        const test::HeldFile held(next / "left.bin");
#else
        const test::ImmutableFile held(*platform, next / "left.bin");
        if (!held.made()) GTEST_SKIP() << "the file system refuses chattr +i here";
#endif
        EXPECT_FALSE(Build());
    }
    const std::string head = "Could not remove " + PathToUtf8(next) + ": ";
    EXPECT_THAT(error, StartsWith(head));
    EXPECT_GT(error.size(), head.size());
    EXPECT_THAT(StageLines(), IsEmpty());
    EXPECT_TRUE(Logged("build stopped: " + error));
    EXPECT_EQ(builder->phase, 0);
    EXPECT_EQ(test::PlayTree(play), before);
    EXPECT_EQ(test::ReadFile(next / "left.bin"), "from another package");
    EXPECT_FALSE(fs::exists(next / "fakeport.txt"));
}

// What the port leaves in the side folder under a name of the user's stays out of the game, and
// the side folder goes after the move however full it is.
TEST_F(PackageBuildTest, WhatThePortLeavesUnderTheUsersNamesGoesWithTheSideFolder) {
    test::PlacePackageBesideTheLauncher(temp.path());
    test::PlaceUserFiles(play);
    MakeBuilder(&host.http());
    script = std::string("write logs/port.log the port's own log\nwrite hdd/E/cache.bin a cache\n") +
             test::kWorkingPortScript;
    ASSERT_TRUE(Build()) << error;
    EXPECT_FALSE(fs::exists(next));
    EXPECT_FALSE(fs::exists(play / "logs" / "port.log"));
    EXPECT_FALSE(fs::exists(play / "hdd" / "E" / "cache.bin"));
    EXPECT_EQ(test::UserFilesIn(play), test::UserFiles());
}

// The first run's port fails; the second, with a port that works, goes on from the side folder.
struct SecondRunCase {
    const char* name;
    bool beside;        // the package lies beside the launcher; else it is downloaded
    bool touched;       // the package beside the launcher gets another last-write time in between
    bool unpacksAgain;  // the second run unpacks
};

class PackageSecondRunTest : public PackageBuildTest, public testing::WithParamInterface<SecondRunCase> {};

TEST_P(PackageSecondRunTest, FollowsTheStamp) {
    const SecondRunCase& c = GetParam();
    host.PublishLatestRelease("o/n", "v2.0.0");
    host.PublishPackage("o/n", "v2.0.0");
    fs::path package;
    if (c.beside) package = test::PlacePackageBesideTheLauncher(temp.path());
    test::PlaceUserFiles(play);
    MakeBuilder(&host.http());
    script = "exit 1\n";
    ASSERT_FALSE(Build());
    EXPECT_EQ(error, kNotBuilt);

    if (c.touched) fs::last_write_time(package, fs::last_write_time(package) - std::chrono::hours(1));
    host.http().asked.clear();
    script = test::kWorkingPortScript;
    ASSERT_TRUE(Build()) << error;

    if (c.beside) {
        EXPECT_THAT(host.http().asked, IsEmpty());
    } else {
        EXPECT_THAT(host.http().asked, ElementsAre(kLatest, ReleaseAddress("v2.0.0", "Velmora2-package.zip.json")));
    }
    std::vector<std::string> stages;
    if (!c.beside) stages.push_back("package download");
    if (c.unpacksAgain) stages.push_back("package unpack");
    stages.insert(stages.end(), {"compile game code", "replace the game"});
    EXPECT_EQ(StageLines(), stages);
    test::ExpectNewVersion(play, ExeSuffix(), c.beside ? test::StampOfPackageBesideTheLauncher(package) : digest, true);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackageSecondRunTest,
                         testing::Values(SecondRunCase{"downloaded", false, false, false},
                                         SecondRunCase{"beside_the_launcher", true, false, false},
                                         SecondRunCase{"beside_the_launcher_touched", true, true, true}),
                         test::CaseName());

// Failures before anything moves: the installed game and the user's files stay as they were.
struct FailureCase {
    const char* name;
    bool beside;              // a package beside the launcher; else the description is not published
    const char* packageText;  // the package beside the launcher, or nullptr for the fixture
    const char* script;       // the port's script, or "" for the fixture's
    const char* stopAt;       // the status detail at which the stop is pressed, or nullptr
    const char* error;        // {package} stands for the package's path; a final '*' for any rest
};

class PackageFailureTest : public PackageBuildTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(PackageFailureTest, LeavesThePlayFolderAsItWas) {
    const FailureCase& c = GetParam();
    game.version = "v1.2.3";
    fs::path package;
    if (c.beside) {
        package = test::PlacePackageBesideTheLauncher(temp.path());
        if (c.packageText != nullptr) test::WriteFile(package, c.packageText);
    }
    test::PlaceUserFiles(play);
    test::PlaceOlderVersion(play, ExeSuffix());
    const std::map<std::string, std::string> before = test::PlayTree(play);
    MakeBuilder(&host.http());
    script = c.script;
    if (c.stopAt != nullptr) {
        onStatus = [this, &c](const Status& status) {
            if (status.detail == c.stopAt) builder->cancel = true;
        };
    }
    EXPECT_FALSE(Build());

    std::string expected = c.error;
    const size_t at = expected.find("{package}");
    if (at != std::string::npos) expected.replace(at, 9, PathToUtf8(package));
    if (expected.back() == '*') {
        expected.pop_back();
        EXPECT_THAT(error, StartsWith(expected));
        EXPECT_GT(error.size(), expected.size());
    } else {
        EXPECT_EQ(error, expected);
    }
    EXPECT_EQ(test::PlayTree(play), before);
    EXPECT_EQ(builder->phase, 0);
    EXPECT_TRUE(AnyLogStartsWith("timing: "));
    EXPECT_EQ(Logged("build stopped: " + error), error != "cancelled");
    EXPECT_FALSE(AnyLogStartsWith("build stopped: cancelled"));
    EXPECT_EQ(builder->BuiltVersion(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageFailureTest,
    testing::Values(FailureCase{"no_description", false, nullptr, "", nullptr,
                                "Could not find the game's package for Velmora2-package.zip: *"},
                    FailureCase{"no_zip", true, "this is no zip", "", nullptr, "cannot open {package} as a zip"},
                    FailureCase{"port_gives_a_reason", true, nullptr, "out failed out of disk space\nexit 1\n", nullptr,
                                "out of disk space"},
                    FailureCase{"port_fails_silently", true, nullptr, "exit 1\n", nullptr, kNotBuilt},
                    FailureCase{"stopped_while_the_port_sleeps", true, nullptr,
                                "out progress 1 1 4 10 100\nsleep 60000\nexit 0\n", "1 of 4 files", "cancelled"},
                    FailureCase{"no_library", true, nullptr, "exit 0\n", nullptr,
                                "The build finished without Velmora2.dll, see launcher.log"}),
    test::CaseName());

TEST_F(PackageBuildTest, WithoutTheLibraryTheSideFolderKeepsItsStampForTheNextRun) {
    const fs::path package = test::PlacePackageBesideTheLauncher(temp.path());
    MakeBuilder(&host.http());
    script = "exit 0\n";
    EXPECT_FALSE(Build());
    EXPECT_EQ(test::ReadFile(next / "package.stamp"), test::StampOfPackageBesideTheLauncher(package));
    EXPECT_TRUE(fs::is_regular_file(next / ("Velmora2" + ExeSuffix())));
}

struct NothingToBuildCase {
    const char* name;
    bool chosen;
    const char* package;
    const char* error;
};

class PackageNothingToBuildTest : public PackageBuildTest, public testing::WithParamInterface<NothingToBuildCase> {};

TEST_P(PackageNothingToBuildTest, FailsBeforeTheFirstPhase) {
    game.package = GetParam().package;
    MakeBuilder(&host.http(), GetParam().chosen);
    builder->phase = 4;  // an earlier success
    EXPECT_FALSE(Build());
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(builder->phase, 0);
    for (const SeenStatus& status : seen) EXPECT_EQ(status.phase, 4);
    EXPECT_TRUE(Logged("timing: 0 stages, 0.0 s in all"));
    EXPECT_TRUE(Logged(std::string("build stopped: ") + GetParam().error));
    EXPECT_THAT(host.http().asked, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageNothingToBuildTest,
    testing::Values(NothingToBuildCase{"no_game_chosen", false, kPackageFixtureName, "Choose the game first."},
                    NothingToBuildCase{"no_package_known", true, "",
                                       "No package is known for this copy of the game: choose it again."}),
    test::CaseName());

// Which package the user's copy gets: by its SHA-1 from launcher.json, else by identifying the
// chosen copy, else the game's one package.
struct PackageForGameCase {
    const char* name;
    const char* settings;  // launcher.json; {copy} stands for the chosen copy's folder as JSON text
    const char* package;
};

class PackageForGameTest : public PackageBuildTest, public testing::WithParamInterface<PackageForGameCase> {};

constexpr char kKnownXbe[] = "the XBE of a known release";

TEST_P(PackageForGameTest, Chooses) {
    const std::string sha1 = test::Sha1Of(kKnownXbe);
    game.releases[sha1] = "PAL";
    game.packages[sha1] = "Velmora2-pal.zip";
    game.package = "Velmora2-any.zip";
    const fs::path copy = temp / "copy";
    test::WriteFile(copy / "default.xbe", kKnownXbe);
    MakeBuilder(nullptr, false);

    std::string settings = GetParam().settings;
    for (size_t at; (at = settings.find("{copy}")) != std::string::npos;) {
        settings.replace(at, 6, nlohmann::json(PathToUtf8(copy)).dump());
    }
    for (size_t at; (at = settings.find("{SHA1}")) != std::string::npos;) {
        std::string upper = sha1;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        settings.replace(at, 6, upper);
    }
    test::WriteFile(base / "launcher.json", settings);
    EXPECT_EQ(builder->PackageForGame(), GetParam().package);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageForGameTest,
    testing::Values(PackageForGameCase{"sha1_in_upper_case", "{\"game_sha1\": \"{SHA1}\"}", "Velmora2-pal.zip"},
                    PackageForGameCase{"no_sha1_so_the_copy_is_identified", "{\"game\": {copy}}", "Velmora2-pal.zip"},
                    PackageForGameCase{
                        "an_unknown_sha1_wins_over_the_copy",
                        "{\"game_sha1\": \"0000000000000000000000000000000000000000\", \"game\": {copy}}",
                        "Velmora2-any.zip"},
                    PackageForGameCase{"settings_an_array", "[]", "Velmora2-any.zip"},
                    PackageForGameCase{"settings_not_json", "{\"game_sha1\": ", "Velmora2-any.zip"},
                    PackageForGameCase{"sha1_not_a_string", "{\"game_sha1\": 5, \"game\": {copy}}", "Velmora2-pal.zip"},
                    PackageForGameCase{"nothing_chosen", "{}", "Velmora2-any.zip"}),
    test::CaseName());

}  // namespace
}  // namespace launcher
