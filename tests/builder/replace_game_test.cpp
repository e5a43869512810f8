// Moving the new version into the play folder, on hand-made play and side folders, with the waits
// between tries recorded instead of slept.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include "tests/support/held_file.h"
#include "tests/support/short_name.h"
#endif

#include "builder/package_pipeline.h"
#include "platform/file_tree.h"
#include "platform/text.h"
#include "tests/builder/package_world.h"
#include "tests/support/case_name.h"
#include "tests/support/fake_http.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using std::chrono::milliseconds;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::StartsWith;

constexpr char kWaitTitle[] = "Putting the new version in place";
constexpr char kStamp[] = "the stamp";

#ifdef _WIN32
using test::HeldFile;
#endif

class ReplaceGameTest : public testing::Test {
protected:
    void SetUp() override {
        builder = std::make_unique<Builder>(test::PackageGame(), base, nullptr, platform.get());
        builder->statusCallback = [this](const Status& status) { statuses.push_back(status); };
        builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
        builder->sleepFor = [this](milliseconds wait) {
            waits.push_back(wait);
            if (onWait) onWait(waits.size());
        };
        builder->replaceHook = [this](const std::string& point, const std::string& name) {
            hooks.push_back(point + " " + name);
            if (onHook) onHook(point, name);
        };
        run.sideFolder = next;
        test::WriteFile(next / "package.stamp", kStamp);
    }

    bool Replace() {
        run.error = "before";
        return ReplaceGameStage(*builder, run);
    }

    std::vector<std::string> ReplaceLines() const {
        std::vector<std::string> lines;
        for (const std::string& line : logged) {
            if (line.starts_with("replace: ")) lines.push_back(line);
        }
        return lines;
    }

    // The side folder's entries in the order the file system lists them.
    std::vector<std::string> ListingOrder() const {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(next)) {
            names.push_back(PathToUtf8(entry.path().filename()));
        }
        return names;
    }

    // The text the stage fails with for name, the system's words taken from its last "replace: " line.
    std::string GiveUpText(const std::string& name) const {
        const std::vector<std::string> lines = ReplaceLines();
        EXPECT_FALSE(lines.empty());
        if (lines.empty()) return "";
        const std::string& last = lines.back();
        const std::string words = last.substr(last.find(": ", std::string("replace: ").size()) + 2);
        EXPECT_FALSE(words.empty()) << last;
        return "Could not put " + name +
               " in place (is the game still running, or an antivirus scanning it?): " + words +
               ". Press Update again to retry; see launcher.log";
    }

    void ExpectWaitingStatuses(const std::string& name, size_t count) const {
        ASSERT_EQ(statuses.size(), count);
        for (const Status& status : statuses) {
            EXPECT_EQ(status.title, kWaitTitle);
            EXPECT_EQ(status.detail, "Waiting for Windows to let go of " + name);
            EXPECT_EQ(status.fraction, -1.0);
        }
    }

    test::TempFolder temp;
    fs::path base = test::BaseFolderIn(temp.path());
    fs::path play = base / "play";
    fs::path next = play / ".next";
    std::unique_ptr<Platform> platform = MakePlatform();
    std::unique_ptr<Builder> builder;
    PackageRun run;
    std::vector<Status> statuses;
    std::vector<std::string> logged;
    std::vector<milliseconds> waits;
    std::vector<std::string> hooks;
    std::function<void(size_t)> onWait;
    std::function<void(const std::string&, const std::string&)> onHook;
};

TEST_F(ReplaceGameTest, FoldersReplaceWholesaleFilesOneByOneAndSettingsStay) {
    test::WriteFile(next / "Logs" / "new.log", "a log from the package");
    test::WriteFile(next / "Config.TOML", "a setting from the package");
    test::WriteFile(next / "data" / "extra.toml", "below the top");
    test::WriteFile(next / "data" / "new.bin", "new data");
    test::WriteFile(next / ".toml", "five characters");
    test::WriteFile(next / "tree" / "inner.txt", "a folder where a file was");
    test::WriteFile(next / "file.bin", "the new file");
    test::WriteFile(play / "data" / "old.bin", "only the old version had this");
    test::WriteFile(play / "tree", "a file where the folder goes");
    test::WriteFile(play / "file.bin", "the old file");
    test::WriteFile(play / "kept" / "keep.txt", "installed, not in the new version");

    ASSERT_TRUE(Replace()) << run.error;
    EXPECT_EQ(run.error, "before");
    const std::map<std::string, std::string> expected = {{".toml", "five characters"},
                                                         {"data/", ""},
                                                         {"data/extra.toml", "below the top"},
                                                         {"data/new.bin", "new data"},
                                                         {"file.bin", "the new file"},
                                                         {"kept/", ""},
                                                         {"kept/keep.txt", "installed, not in the new version"},
                                                         {"package.stamp", kStamp},
                                                         {"tree/", ""},
                                                         {"tree/inner.txt", "a folder where a file was"}};
    EXPECT_EQ(test::PlayTree(play), expected);
    EXPECT_EQ(test::ReadFile(next / "Logs" / "new.log"), "a log from the package");
    EXPECT_EQ(test::ReadFile(next / "Config.TOML"), "a setting from the package");
    EXPECT_FALSE(fs::exists(next / "package.stamp"));
    EXPECT_THAT(ReplaceLines(), IsEmpty());
    EXPECT_THAT(waits, IsEmpty());
    EXPECT_THAT(statuses, IsEmpty());

    ASSERT_FALSE(hooks.empty());
    EXPECT_EQ(hooks[0], "stamp removed package.stamp");
    EXPECT_THAT(std::vector<std::string>(hooks.begin() + 1, hooks.end()),
                testing::UnorderedElementsAre("target removed data", "moved data", "target removed tree", "moved tree",
                                              "moved file.bin", "moved .toml"));
}

// One entry of the side folder under a name of the user's: it stays there, and the user's own
// folders in play stay as they were.
struct ProtectedCase {
    const char* name;
    const char* entry;  // a file under the side folder; folders as its path says
};

class ReplaceProtectedTest : public ReplaceGameTest, public testing::WithParamInterface<ProtectedCase> {};

TEST_P(ReplaceProtectedTest, StaysInTheSideFolder) {
    test::PlaceUserFiles(play);
    test::WriteFile(play / "screenshots" / "shot.png", "the user's screenshot");
    test::WriteFile(play / "captures" / "clip.mp4", "the user's clip");
    std::map<std::string, std::string> expected = test::PlayTree(play);
    expected["package.stamp"] = kStamp;
    test::WriteFile(next / Utf8Path(GetParam().entry), "from the package");

    ASSERT_TRUE(Replace()) << run.error;
    EXPECT_EQ(test::PlayTree(play), expected);
    EXPECT_EQ(test::ReadFile(next / Utf8Path(GetParam().entry)), "from the package");
    EXPECT_THAT(ReplaceLines(), IsEmpty());
    EXPECT_THAT(waits, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Names, ReplaceProtectedTest,
                         testing::Values(ProtectedCase{"hdd_folder", "hdd/E/new"}, ProtectedCase{"hdd_file", "hdd"},
                                         ProtectedCase{"HDD_file", "HDD"}, ProtectedCase{"assets_file", "assets"},
                                         ProtectedCase{"Assets_folder", "Assets/other.iso"},
                                         ProtectedCase{"screenshots_folder", "screenshots/new.png"},
                                         ProtectedCase{"Captures_file", "Captures"},
                                         ProtectedCase{"captures_folder", "captures/new.mp4"},
                                         ProtectedCase{"logs_folder", "logs/new.log"},
                                         ProtectedCase{"settings_at_the_top", "settings.toml"},
                                         ProtectedCase{"side_folder", ".next/x"},
                                         ProtectedCase{"side_folder_upper", ".NEXT/x"}),
                         test::CaseName());

#ifdef _WIN32
using test::ShortNameOf;

// Side-folder entries named by the short names of the user's screenshots folder and settings file:
// the target would open the user's own, so they stay where they are.
TEST_F(ReplaceGameTest, ShortNamesOfTheUsersEntriesStayInTheSideFolder) {
    test::WriteFile(play / "screenshots" / "shot.png", "the user's screenshot");
    test::WriteFile(play / "settings.toml", "the user's settings");
    const std::string screenshots = ShortNameOf(play / "screenshots");
    const std::string settings = ShortNameOf(play / "settings.toml");
    ASSERT_FALSE(AsciiEqualIgnoringCase(screenshots, "screenshots")) << "no short names on this volume";
    ASSERT_FALSE(AsciiEqualIgnoringCase(settings, "settings.toml"));
    test::WriteFile(next / Utf8Path(screenshots) / "x.png", "from the package");
    test::WriteFile(next / Utf8Path(settings), "from the package");
    test::WriteFile(next / "file.bin", "the new file");

    ASSERT_TRUE(Replace()) << run.error;
    const std::map<std::string, std::string> expected = {{"file.bin", "the new file"},
                                                         {"package.stamp", kStamp},
                                                         {"screenshots/", ""},
                                                         {"screenshots/shot.png", "the user's screenshot"},
                                                         {"settings.toml", "the user's settings"}};
    EXPECT_EQ(test::PlayTree(play), expected);
    EXPECT_EQ(test::ReadFile(next / Utf8Path(screenshots) / "x.png"), "from the package");
    EXPECT_EQ(test::ReadFile(next / Utf8Path(settings)), "from the package");
    EXPECT_THAT(ReplaceLines(), IsEmpty());
}
#endif

// The port's build folder is no folder of the user's: a new one replaces the installed one.
TEST_F(ReplaceGameTest, TheCompilerFolderMoves) {
    test::WriteFile(next / "compiler" / "cache.bin", "new cache");
    test::WriteFile(play / "compiler" / "work" / "obj.o", "old work file");
    ASSERT_TRUE(Replace()) << run.error;
    const std::map<std::string, std::string> expected = {
        {"compiler/", ""}, {"compiler/cache.bin", "new cache"}, {"package.stamp", kStamp}};
    EXPECT_EQ(test::PlayTree(play), expected);
}

// An entry that the system refuses twice, then lets go of at the second wait.
struct WaitCase {
    const char* name;
    const char* entry;  // the top-level entry that waits
};

class ReplaceWaitTest : public ReplaceGameTest, public testing::WithParamInterface<WaitCase> {};

TEST_P(ReplaceWaitTest, TriesAgainAfterEachWait) {
    const std::string name = GetParam().entry;
    std::function<void()> letGo;
#ifdef _WIN32
    std::unique_ptr<HeldFile> held;
#endif
    if (name == "x.bin") {
        test::WriteFile(next / "x.bin", "the new file");
        test::WriteFile(play / "x.bin" / "inner.txt", "a folder in the file's way");
        letGo = [this] {
            std::error_code ec;
            ASSERT_TRUE(RemoveTree(play / "x.bin", ec)) << ec.message();
        };
    } else {
#ifdef _WIN32
        // The library of a running game, or a file inside a folder of it.
        const bool folder = name == "data";
        test::WriteFile(folder ? next / "data" / "new.bin" : next / name, "the new file");
        const fs::path heldFile = folder ? play / "data" / "held.bin" : play / name;
        test::WriteFile(heldFile, "held by the game");
        held = std::make_unique<HeldFile>(heldFile);
        letGo = [&held] { held->Close(); };
#endif
    }
    onWait = [&letGo](size_t wait) {
        if (wait == 2) letGo();
    };

    ASSERT_TRUE(Replace()) << run.error;
    const std::vector<std::string> lines = ReplaceLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], StartsWith("replace: " + name + ", try 1: "));
    EXPECT_THAT(lines[1], StartsWith("replace: " + name + ", try 2: "));
    EXPECT_GT(lines[1].size(), ("replace: " + name + ", try 2: ").size());
    ExpectWaitingStatuses(name, 2);
    EXPECT_THAT(waits, ElementsAre(milliseconds(1000), milliseconds(1000)));
    EXPECT_EQ(test::ReadFile(name == "data" ? play / "data" / "new.bin" : play / name), "the new file");
    EXPECT_FALSE(fs::exists(next / name));
    EXPECT_EQ(test::ReadFile(play / "package.stamp"), kStamp);
}

// Wine shows what Windows does with files held open; natively only a folder can stand in the way.
std::vector<WaitCase> WaitCases() {
    std::vector<WaitCase> cases = {{"folder_in_a_files_way", "x.bin"}};
#ifdef _WIN32
    cases.insert(cases.end(), {{"held_library", "Velmora2.dll"}, {"held_file_in_the_target_folder", "data"}});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Entries, ReplaceWaitTest, testing::ValuesIn(WaitCases()), test::CaseName());

TEST_F(ReplaceGameTest, AnEntryNeverFreeFailsAfterTwoMinutesOfTriesAndTheStampComesBack) {
    test::WriteFile(next / "x.bin", "a file");
    test::WriteFile(play / "x.bin" / "inner.txt", "a folder a file cannot replace");
    EXPECT_FALSE(Replace());

    const std::vector<std::string> lines = ReplaceLines();
    ASSERT_EQ(lines.size(), 120u);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_THAT(lines[i], StartsWith("replace: x.bin, try " + std::to_string(i + 1) + ": "));
    }
    EXPECT_EQ(waits, std::vector<milliseconds>(119, milliseconds(1000)));
    ExpectWaitingStatuses("x.bin", 119);
    EXPECT_EQ(run.error, GiveUpText("x.bin"));
    EXPECT_EQ(test::ReadFile(next / "package.stamp"), kStamp);
    EXPECT_FALSE(fs::exists(play / "package.stamp"));
    EXPECT_EQ(test::ReadFile(play / "x.bin" / "inner.txt"), "a folder a file cannot replace");
}

TEST_F(ReplaceGameTest, AStopEndsAfterTheFailedTryWithoutWaiting) {
    test::WriteFile(next / "x.bin", "a file");
    test::WriteFile(play / "x.bin" / "inner.txt", "a folder a file cannot replace");
    builder->cancel = true;
    EXPECT_FALSE(Replace());
    const std::vector<std::string> lines = ReplaceLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], StartsWith("replace: x.bin, try 1: "));
    EXPECT_THAT(waits, IsEmpty());
    EXPECT_THAT(statuses, IsEmpty());
    EXPECT_EQ(run.error, GiveUpText("x.bin"));
    EXPECT_EQ(test::ReadFile(next / "package.stamp"), kStamp);
}

TEST_F(ReplaceGameTest, WhenALaterEntryFailsTheStampIsGoneAndTheNextBuildUnpacksAgain) {
    test::WriteFile(next / "a.bin", "first");
    test::WriteFile(next / "b.bin", "second");
    std::vector<std::string> order = ListingOrder();
    order.erase(std::remove(order.begin(), order.end(), "package.stamp"), order.end());
    ASSERT_EQ(order.size(), 2u);
    test::WriteFile(play / order[1] / "inner.txt", "in the way for good");
    EXPECT_FALSE(Replace());
    EXPECT_TRUE(fs::is_regular_file(play / order[0]));
    EXPECT_FALSE(fs::exists(next / "package.stamp"));
    EXPECT_FALSE(fs::exists(play / "package.stamp"));
    EXPECT_EQ(run.error, GiveUpText(order[1]));

    // The side folder holds a package no longer whole, and no stamp says otherwise.
    test::PlacePackageBesideTheLauncher(temp.path());
    test::ChooseGame(*builder, temp / "disc");
    test::FakeHttp offline;
    builder->http = &offline;
    logged.clear();
    std::string error;
    ASSERT_TRUE(builder->BuildPackage(error)) << error;
    EXPECT_THAT(logged, testing::Contains(testing::StartsWith("stage package unpack: ")));
    EXPECT_FALSE(fs::exists(next));
    EXPECT_EQ(test::ReadFile(play / "Velmora2.dll"), test::kLibraryText);
}

TEST_F(ReplaceGameTest, AStopDuringTheMoveEndsTheBuildWithTheMovesOwnText) {
    test::PlacePackageBesideTheLauncher(temp.path());
    test::WriteFile(play / "fakeport.txt" / "inner.txt", "in the way for good");
    test::ChooseGame(*builder, temp / "disc");
    test::FakeHttp offline;
    builder->http = &offline;
    onHook = [this](const std::string& point, const std::string&) {
        if (point == "stamp removed") builder->cancel = true;
    };
    std::string error;
    EXPECT_FALSE(builder->BuildPackage(error));
    EXPECT_THAT(error, StartsWith("Could not put fakeport.txt in place (is the game still running, or an antivirus "
                                  "scanning it?): "));
    const std::vector<std::string> lines = ReplaceLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_THAT(lines[0], StartsWith("replace: fakeport.txt, try 1: "));
    EXPECT_THAT(waits, IsEmpty());
    EXPECT_THAT(logged, testing::Contains("build stopped: " + error));
    EXPECT_EQ(builder->phase, 0);
}

// A file where the side folder should be cannot be listed, whoever runs the test.
TEST_F(ReplaceGameTest, AListingThatCannotBeOpenedFailsBeforeAnyMove) {
    fs::remove_all(next);
    test::WriteFile(next, "a file where the side folder should be");
    test::WriteFile(play / "file.bin", "the installed file");
    EXPECT_FALSE(Replace());
    const std::string head = "Could not read " + PathToUtf8(next) + ": ";
    EXPECT_THAT(run.error, StartsWith(head));
    EXPECT_THAT(run.error, testing::EndsWith(", see launcher.log"));
    EXPECT_GT(run.error.size(), head.size() + std::string(", see launcher.log").size());
    EXPECT_THAT(hooks, IsEmpty());
    EXPECT_EQ(test::PlayTree(play), (std::map<std::string, std::string>{{"file.bin", "the installed file"}}));
    EXPECT_EQ(test::ReadFile(next), "a file where the side folder should be");
}

#ifdef _WIN32
TEST_F(ReplaceGameTest, AStampThatCannotBeRemovedMovesNothing) {
    test::WriteFile(next / "x.bin", "a file");
    HeldFile held(next / "package.stamp");
    EXPECT_FALSE(Replace());
    held.Close();
    EXPECT_EQ(run.error, GiveUpText("package.stamp"));
    EXPECT_THAT(ReplaceLines(), ElementsAre(StartsWith("replace: package.stamp, try 1: ")));
    EXPECT_THAT(hooks, IsEmpty());
    EXPECT_THAT(waits, IsEmpty());
    EXPECT_TRUE(fs::exists(next / "x.bin"));
    EXPECT_FALSE(fs::exists(play / "x.bin"));
    EXPECT_EQ(test::ReadFile(next / "package.stamp"), kStamp);
}
#endif

}  // namespace
}  // namespace launcher
