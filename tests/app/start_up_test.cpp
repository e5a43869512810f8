// The launcher's start-up, frame loop and shutdown on the headless host: play at start, the restart
// after a self-update, the fatal start-up boxes, and what happens in which order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/launcher_run.h"
#include "app/play_at_start.h"
#include "app/window_geometry.h"
#include "game/game.h"
#include "platform/text.h"
#include "tests/app/connected_app.h"
#include "tests/app/headless_host.h"
#include "tests/support/case_name.h"
#include "tests/support/digests.h"
#include "tests/support/fake_http.h"
#include "tests/support/forwarding_platform.h"
#include "tests/support/latch.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

const std::string kXbe = "XBEH" + std::string(2000, 'x');

std::string Description() {
    return R"({"title": "Velmora", "short": "Velmora2", "exe": "Velmora2", "xbe": "default.xbe",
               "repo": "https://github.com/velmora-port/velmora2", "releases": {")" +
           test::Sha1Of(kXbe) + R"(": "Europe"}})";
}

// Answers every request with a failure, after the gate opens when there is one, and says when the
// last request has returned.
struct HttpGate {
    test::Latch latch;
    bool gated = false;
    std::chrono::milliseconds delay{0};
    std::atomic<int> asked{0};
    std::atomic<bool> returned{false};
    std::function<void()> onAsked;
};

class GatedHttp final : public Http {
public:
    explicit GatedHttp(std::shared_ptr<HttpGate> gate) : gate_(std::move(gate)) {}
    bool Get(const std::string&, std::uint64_t, const DataSink&, std::uint64_t*, std::string& error) override {
        ++gate_->asked;
        if (gate_->onAsked) gate_->onAsked();
        if (gate_->gated) gate_->latch.Wait();
        std::this_thread::sleep_for(gate_->delay);
        error = "no server in this test";
        gate_->returned = true;
        return false;
    }

private:
    std::shared_ptr<HttpGate> gate_;
};

// The launcher in a temporary folder: launcher.exe (never written) beside the base folder Velmora2.
class StartUpTest : public testing::Test {
protected:
    StartUpTest() { host.executable = temp / "launcher.exe"; }

    fs::path Base() const { return temp / "Velmora2"; }

    void WriteSettings(const std::string& json) { test::WriteFile(Base() / "launcher.json", json); }

    // A usable copy chosen and the game installed (not package mode), built by v1.0.
    void ChooseAndInstall(bool playAtStart) {
        test::WriteFile(temp / "disc/default.xbe", kXbe);
        test::WriteFile(temp / "disc/a.txt", "a");
        test::WriteFile(temp / "disc/b.txt", "b");
        test::WriteFile(Base() / "play" / ("Velmora2" + MakePlatform()->ExeSuffix()), "game");
        WriteSettings(R"({"game": ")" + Escaped(temp / "disc") + R"(", "built": "v1.0", "play_at_start": )" +
                      (playAtStart ? "true" : "false") + "}");
    }

    static std::string Escaped(const fs::path& path) {
        std::string text;
        for (const char c : PathToUtf8(path)) {
            if (c == '\\') text += '\\';
            text += c;
        }
        return text;
    }

    // The run, with the gate's Http and the test's Platform.
    LauncherRun& MakeRun(const std::string& version, std::unique_ptr<Platform> platform = MakePlatform(),
                         const std::string& description = Description()) {
        run = std::make_unique<LauncherRun>(description, version,
                                            Services{std::make_unique<GatedHttp>(gate), std::move(platform)}, host);
        return *run;
    }

    std::vector<std::string> LogLines(const std::string& prefix) {
        std::vector<std::string> lines;
        std::lock_guard<std::mutex> lock(run->app().mutex);
        for (const std::string& line : run->app().log) {
            if (line.rfind(prefix, 0) == 0) lines.push_back(line);
        }
        return lines;
    }

    std::string Error() {
        std::lock_guard<std::mutex> lock(run->app().mutex);
        return run->app().error;
    }

    test::TempFolder temp;
    test::HeadlessHost host;
    std::shared_ptr<HttpGate> gate = std::make_shared<HttpGate>();
    std::unique_ptr<LauncherRun> run;
};

// --- the pieces, as tables ---

struct PlayFlagCase {
    std::string name;
    std::vector<std::string> arguments;
    bool play;
};

class PlayFlagTest : public testing::TestWithParam<PlayFlagCase> {};

TEST_P(PlayFlagTest, ArgumentsAskForPlayAtStart) {
    EXPECT_EQ(PlayFlag(GetParam().arguments), GetParam().play);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, PlayFlagTest,
    testing::Values(PlayFlagCase{"DoubleDash", {"launcher.exe", "--play"}, true},
                    PlayFlagCase{"SingleDashUpperCase", {"launcher.exe", "-PLAY"}, true},
                    PlayFlagCase{"SlashMixedCase", {"launcher.exe", "/pLaY"}, true},
                    PlayFlagCase{"AmongOthers", {"launcher.exe", "a", "--Play", "b"}, true},
                    PlayFlagCase{"NoArguments", {"launcher.exe"}, false},
                    PlayFlagCase{"OnlyTheProgramName", {"--play"}, false},
                    PlayFlagCase{"ValueAppended", {"launcher.exe", "--play=1"}, false},
                    PlayFlagCase{"LongerWord", {"launcher.exe", "/player"}, false},
                    PlayFlagCase{"ThreeDashes", {"launcher.exe", "---play"}, false},
                    PlayFlagCase{"NoDash", {"launcher.exe", "play"}, false},
                    PlayFlagCase{"Blank", {"launcher.exe", " --play"}, false}),
    test::CaseName());

struct StartLineCase {
    std::string name;
    std::vector<std::string> arguments;
    bool saved;
    bool shift;
    std::vector<std::string> lines;
    bool pending;
};

class StartLineTest : public StartUpTest, public testing::WithParamInterface<StartLineCase> {};

// Through the real start-up: the command line, launcher.json and Shift.
TEST_P(StartLineTest, LogsTheDecisionOnce) {
    const StartLineCase& c = GetParam();
    host.arguments = c.arguments;
    host.shiftHeld = c.shift;
    WriteSettings(c.saved ? R"({"play_at_start": true})" : "{}");
    ASSERT_EQ(MakeRun("dev").Start(), LauncherRun::kRunning);
    EXPECT_EQ(LogLines("play at start: "), c.lines);
    EXPECT_EQ(run->app().playPending, c.pending);
    EXPECT_EQ(run->app().playAtStart, c.saved);
}

const char kShiftStays[] = ", Shift held: the launcher stays";

INSTANTIATE_TEST_SUITE_P(
    FlagSavedShift, StartLineTest,
    testing::Values(
        StartLineCase{"NobodyAsks", {"launcher.exe"}, false, false, {}, false},
        StartLineCase{"NobodyAsksShiftHeld", {"launcher.exe"}, false, true, {}, false},
        StartLineCase{"Flag", {"launcher.exe", "--play"}, false, false, {"play at start: --play"}, true},
        StartLineCase{"UpperCaseSlashFlag", {"launcher.exe", "/PLAY"}, false, false, {"play at start: --play"}, true},
        StartLineCase{"Saved", {"launcher.exe"}, true, false, {"play at start: the saved choice"}, true},
        StartLineCase{"FlagAndSaved", {"launcher.exe", "-play"}, true, false, {"play at start: --play"}, true},
        StartLineCase{"FlagShiftHeld", {"launcher.exe", "--play"}, false, true,
                      {std::string("play at start: --play") + kShiftStays}, false},
        StartLineCase{"SavedShiftHeld", {"launcher.exe"}, true, true,
                      {std::string("play at start: the saved choice") + kShiftStays}, false}),
    test::CaseName());

TEST_F(StartUpTest, ACommandLineThatCannotBeSplitAsksForNothing) {
    host.arguments = {"launcher.exe", "--play"};
    host.argumentsSplit = false;
    ASSERT_EQ(MakeRun("dev").Start(), LauncherRun::kRunning);
    EXPECT_THAT(LogLines("play at start: "), testing::IsEmpty());
    EXPECT_FALSE(run->app().playPending);
}

struct GeometryCase {
    std::string name;
    unsigned dpi;
    WindowRect work;
    WindowRect window;
    WindowSize smallest;
};

class WindowGeometryTest : public testing::TestWithParam<GeometryCase> {};

TEST_P(WindowGeometryTest, SizeAndPlaceFollowTheDpiAndTheWorkArea) {
    const GeometryCase& c = GetParam();
    const WindowRect window = StartWindowRect(c.dpi, c.work);
    EXPECT_EQ(window.left, c.window.left);
    EXPECT_EQ(window.top, c.window.top);
    EXPECT_EQ(window.width, c.window.width);
    EXPECT_EQ(window.height, c.window.height);
    const WindowSize smallest = MinimumTrackSize(c.dpi);
    EXPECT_EQ(smallest.width, c.smallest.width);
    EXPECT_EQ(smallest.height, c.smallest.height);
}

INSTANTIATE_TEST_SUITE_P(
    DpiAndWorkArea, WindowGeometryTest,
    testing::Values(
        GeometryCase{"At96", 96, {0, 0, 1920, 1040}, {510, 170, 900, 700}, {640, 480}},
        // 900 x 1.25 and 700 x 1.25 exactly; the work area below a taskbar at the top.
        GeometryCase{"At120TaskbarAtTop", 120, {0, 40, 1920, 1040}, {397, 122, 1125, 875}, {800, 600}},
        // 900 x 125 / 96 = 1171.875 and 700 x 125 / 96 = 911.46: truncated, then the height cut to
        // the work area of a 1366 x 768 laptop, whose top it starts at. 640 x 125 / 96 = 833.33.
        GeometryCase{"At125CutToTheWorkArea", 125, {0, 0, 1366, 728}, {97, 0, 1171, 728}, {833, 625}},
        GeometryCase{"At125BelowATaskbarAtTheTop", 125, {0, 40, 1366, 728}, {97, 40, 1171, 728}, {833, 625}},
        // 1800 x 1400 cut to the whole work area.
        GeometryCase{"At192LargerThanTheWorkArea", 192, {0, 0, 1280, 1001}, {0, 0, 1280, 1001}, {1280, 960}},
        // The smallest size wins over a work area smaller still; the corner stays inside it.
        GeometryCase{"SmallestSizeLargerThanTheWorkArea", 192, {100, 50, 1200, 900}, {100, 50, 1280, 960},
                     {1280, 960}},
        // A second monitor's work area to the left of the main one.
        GeometryCase{"At144OnTheLeftMonitor", 144, {-2560, 0, 2560, 1400}, {-1955, 175, 1350, 1050}, {960, 720}},
        GeometryCase{"At144CutOnASmallerLeftMonitor", 144, {-1366, 0, 1366, 728}, {-1358, 0, 1350, 728},
                     {960, 720}},
        // 640 x 97 / 96 = 646.67: multiplied first, then divided.
        GeometryCase{"At97", 97, {0, 0, 1000, 800}, {45, 46, 909, 707}, {646, 485}}),
    test::CaseName());

struct ReasonCase {
    std::string name;
    PlayAtStartState state;
    const char* reason;
};

class ReasonToStayTest : public testing::TestWithParam<ReasonCase> {};

TEST_P(ReasonToStayTest, TheFirstReasonInOrderKeepsTheLauncher) {
    const char* reason = ReasonToStay(GetParam().state);
    if (GetParam().reason == nullptr) {
        EXPECT_EQ(reason, nullptr) << reason;
    } else {
        ASSERT_NE(reason, nullptr);
        EXPECT_STREQ(reason, GetParam().reason);
    }
}

PlayAtStartState State(bool usable, bool installed, bool codeMissing, bool updateReady, bool offered, bool failed) {
    return {usable, installed, codeMissing, updateReady, offered, failed};
}

INSTANTIATE_TEST_SUITE_P(
    States, ReasonToStayTest,
    testing::Values(
        ReasonCase{"NothingKeepsIt", State(true, true, false, false, false, false), nullptr},
        ReasonCase{"EverythingWrong", State(false, false, true, true, true, true), "no game chosen"},
        ReasonCase{"NotBuiltBeforeTheRest", State(true, false, true, true, true, true), "the game is not built"},
        ReasonCase{"CodeMissingBeforeTheRest", State(true, true, true, true, true, true),
                   "the game is to be updated to the prebuilt way"},
        ReasonCase{"GameUpdateBeforeTheOffer", State(true, true, false, true, true, true),
                   "a new version of the game is ready to install"},
        ReasonCase{"OfferBeforeTheCheck", State(true, true, false, false, true, true), "a new launcher is offered"},
        ReasonCase{"CheckFailed", State(true, true, false, false, false, true),
                   "the start's check ended with an error"}),
    test::CaseName());

// --- the loop ---

TEST_F(StartUpTest, PlayAtStartWaitsForTheCheckThenStaysOnceWithoutACopy) {
    host.arguments = {"launcher.exe", "--play"};
    gate->gated = true;
    ASSERT_EQ(MakeRun("v1.0").Start(), LauncherRun::kRunning);
    for (int turn = 1; turn <= 3; ++turn) {
        ASSERT_TRUE(run->Turn());
        EXPECT_TRUE(run->app().busy) << "turn " << turn;
        EXPECT_TRUE(run->app().playPending) << "turn " << turn;
        EXPECT_THAT(LogLines("play at start: the launcher stays"), testing::IsEmpty()) << "turn " << turn;
    }
    gate->latch.Open();
    ASSERT_TRUE(test::WaitUntilIdle(run->app()));
    for (int turn = 4; turn <= 6; ++turn) ASSERT_TRUE(run->Turn());
    EXPECT_EQ(LogLines("play at start: the launcher stays"),
              std::vector<std::string>{"play at start: the launcher stays, no game chosen"});
    EXPECT_FALSE(run->app().playPending);
    EXPECT_THAT(host.gameStarts, testing::IsEmpty());
    EXPECT_EQ(host.frames, 6);
    host.quit = true;
    EXPECT_FALSE(run->Turn());
    EXPECT_EQ(run->Shutdown(), 0);
    EXPECT_TRUE(host.windowClosed);
    EXPECT_FALSE(host.backendsStarted);
}

TEST_F(StartUpTest, ShiftPressedWhileTheCheckRunsKeepsTheLauncher) {
    ChooseAndInstall(true);
    gate->gated = true;
    ASSERT_EQ(MakeRun("v1.0").Start(), LauncherRun::kRunning);
    ASSERT_TRUE(run->Turn());
    EXPECT_TRUE(run->app().playPending);
    host.shiftHeld = true;
    gate->latch.Open();
    ASSERT_TRUE(test::WaitUntilIdle(run->app()));
    ASSERT_TRUE(run->Turn());
    host.shiftHeld = false;
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(LogLines("play at start: "), (std::vector<std::string>{"play at start: the saved choice",
                                                                    "play at start: Shift held, the launcher stays"}));
    EXPECT_THAT(host.gameStarts, testing::IsEmpty());
    EXPECT_FALSE(host.hidden);
}

TEST_F(StartUpTest, TheGameStartsHidesTheWindowAndItsEndEndsTheLoop) {
    ChooseAndInstall(true);
    host.gameExitCode = 0xC0000005u;
    ASSERT_EQ(MakeRun("v1.0").Start(), LauncherRun::kRunning);
    ASSERT_TRUE(run->app().source.ok) << run->app().source.error;
    ASSERT_TRUE(test::WaitUntilIdle(run->app()));
    EXPECT_FALSE(run->Turn());
    ASSERT_EQ(host.gameStarts.size(), 1u);
    EXPECT_EQ(host.gameStarts[0].first, run->app().builder->GameExePath());
    EXPECT_EQ(host.gameStarts[0].second, Base() / "play");
    EXPECT_TRUE(host.hidden);
    EXPECT_EQ(host.gameWaits, 1);
    EXPECT_EQ(LogLines("play at start: "),
              (std::vector<std::string>{"play at start: the saved choice",
                                        "play at start: the game started, the launcher waits for it",
                                        "play at start: the game ended (exit code 3221225477), the launcher closes"}));
    EXPECT_EQ(run->Shutdown(), 0);
}

TEST_F(StartUpTest, AGameThatCannotStartShowsTheErrorAndTheLauncherStays) {
    ChooseAndInstall(true);
    host.gameStartError = 193;
    ASSERT_EQ(MakeRun("v1.0").Start(), LauncherRun::kRunning);
    ASSERT_TRUE(test::WaitUntilIdle(run->app()));
    EXPECT_TRUE(run->Turn());
    EXPECT_EQ(Error(), "Could not start the game (error 193).");
    EXPECT_FALSE(host.hidden);
    EXPECT_EQ(host.gameWaits, 0);
    EXPECT_THAT(LogLines("play at start: the game"), testing::IsEmpty());
    EXPECT_TRUE(run->Turn());
    EXPECT_EQ(host.gameStarts.size(), 1u);
}

struct RestartCase {
    std::string name;
    std::string startError;
};

class RestartTest : public StartUpTest, public testing::WithParamInterface<RestartCase> {};

TEST_P(RestartTest, ANewLauncherPutInPlaceByATaskIsStartedFromItsFolder) {
    auto platform = std::make_unique<test::ForwardingPlatform>();
    platform->recordStartsOnly = true;
    platform->startError = GetParam().startError;
    test::ForwardingPlatform* const recorder = platform.get();
    ASSERT_EQ(MakeRun("dev", std::move(platform)).Start(), LauncherRun::kRunning);
    ASSERT_TRUE(test::WaitUntilIdle(run->app()));
    App& app = run->app();
    app.RunTask(
        [&app](std::string&) {
            app.restartPending = true;
            return true;
        },
        "");
    ASSERT_TRUE(test::WaitUntilIdle(app));
    const bool fails = !GetParam().startError.empty();
    EXPECT_EQ(run->Turn(), fails);
    ASSERT_EQ(recorder->starts.size(), 1u);
    EXPECT_EQ(recorder->starts[0].first, host.executable);
    EXPECT_EQ(recorder->starts[0].second, temp.path());
    if (fails) {
        EXPECT_EQ(Error(), "The new launcher is in place but did not start: " + GetParam().startError + " Start it again.");
        EXPECT_FALSE(app.restartPending);
        EXPECT_TRUE(run->Turn());
        EXPECT_EQ(recorder->starts.size(), 1u);
    }
    EXPECT_EQ(run->Shutdown(), 0);
}

INSTANTIATE_TEST_SUITE_P(Starts, RestartTest,
                         testing::Values(RestartCase{"Started", ""},
                                         RestartCase{"Refused", "Could not start the game (system error 5)."}),
                         test::CaseName());

// --- start-up's order and its failures ---

TEST_F(StartUpTest, ABadDescriptionGivesTheLauncherBoxAndNoWindow) {
    for (const std::string& description : {std::string("{ not json"), std::string(R"({"title": 5})")}) {
        Game game;
        std::string expected;
        try {
            EXPECT_FALSE(ReadGame(description, game, expected));
        } catch (const std::exception& e) {
            expected = std::string("game.json is not readable: ") + e.what();
        }
        ASSERT_FALSE(expected.empty());
        host.boxes.clear();
        EXPECT_EQ(RunLauncher(description, "dev", Services{std::make_unique<GatedHttp>(gate), MakePlatform()}, host),
                  1);
        ASSERT_EQ(host.boxes.size(), 1u) << description;
        EXPECT_EQ(host.boxes[0].text, expected);
        EXPECT_EQ(host.boxes[0].caption, "Launcher");
        EXPECT_FALSE(host.boxes[0].ownedByWindow);
        EXPECT_FALSE(host.windowOpened);
        EXPECT_EQ(gate->asked, 0);
    }
}

struct OpeningCase {
    std::string name;
    WindowOpening opening;
    std::string text;
    std::string caption;
    bool owned;
};

class OpeningFailureTest : public StartUpTest, public testing::WithParamInterface<OpeningCase> {};

// The start-up check is still waiting for its answer when the box shows: it is stopped and joined
// before the launcher ends, or the process would abort.
TEST_P(OpeningFailureTest, AWindowOrDeviceThatFailsEndsWithItsBoxAfterTheCheckIsJoined) {
    const OpeningCase& c = GetParam();
    host.opening = c.opening;
    // Were the loop to run after all, it would end at its first turn.
    host.quit = true;
    gate->delay = std::chrono::milliseconds(300);
    EXPECT_EQ(RunLauncher(Description(), "v1.0", Services{std::make_unique<GatedHttp>(gate), MakePlatform()}, host),
              1);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].text, c.text);
    EXPECT_EQ(host.boxes[0].caption, c.caption);
    EXPECT_EQ(host.boxes[0].ownedByWindow, c.owned);
    EXPECT_TRUE(gate->returned) << "the check task was not joined";
    EXPECT_EQ(host.frames, 0);
    EXPECT_FALSE(host.backendsStarted);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OpeningFailureTest,
    testing::Values(OpeningCase{"NoDevice", WindowOpening::kNoDevice, "Direct3D 11 could not start.",
                                "Velmora - Launcher", true},
                    OpeningCase{"NoWindow", WindowOpening::kNoWindow, "The launcher's window could not be created.",
                                "Launcher", false}),
    test::CaseName());

TEST_F(StartUpTest, TheCheckStartsAfterTheSizesAndBeforeTheWindowAndOldFilesGo) {
    const std::string buildFiles(3 * 1024 * 1024 + 17, 'b');
    test::WriteFile(Base() / "source/out/build/a.obj", buildFiles);
    test::WriteFile(temp / "launcher.exe.old", "old");
    test::WriteFile(temp / "launcher.exe.2.old", "older");
    gate->gated = true;
    std::atomic<std::uint64_t> sizeWhenAsked{0};
    gate->onAsked = [&] {
        std::lock_guard<std::mutex> lock(run->app().mutex);
        sizeWhenAsked = run->app().buildFilesSize;
    };
    bool busyAtOpening = false;
    host.onOpenWindow = [&] { busyAtOpening = run->app().busy; };
    ASSERT_EQ(MakeRun("v1.0").Start(), LauncherRun::kRunning);
    EXPECT_TRUE(busyAtOpening) << "the check had not started when the window opened";
    EXPECT_EQ(host.title, "Velmora - Launcher");
    gate->latch.Open();
    ASSERT_TRUE(test::WaitUntilIdle(run->app()));
    EXPECT_EQ(sizeWhenAsked, buildFiles.size());
    EXPECT_FALSE(fs::exists(temp / "launcher.exe.old"));
    EXPECT_FALSE(fs::exists(temp / "launcher.exe.2.old"));
    EXPECT_EQ(LogLines("update check: "), std::vector<std::string>{"update check: no server in this test"});
    EXPECT_EQ(host.claimedFolders, std::vector<fs::path>{Base()});
}

TEST_F(StartUpTest, WhileAnotherLauncherWorksOnTheFolderThisOneEndsTouchingNothing) {
    const std::string settings = R"({"play_at_start": true})";
    WriteSettings(settings);
    test::WriteFile(temp / "launcher.exe.old", "old");
    host.arguments = {"launcher.exe", "--play"};
    host.folderTaken = true;
    // Were the loop to run after all, it would end at its first turn.
    host.quit = true;
    EXPECT_EQ(RunLauncher(Description(), "v1.0", Services{std::make_unique<GatedHttp>(gate), MakePlatform()}, host),
              0);
    EXPECT_EQ(host.claimedFolders, std::vector<fs::path>{Base()});
    EXPECT_EQ(gate->asked, 0) << "the start-up check ran";
    EXPECT_FALSE(host.windowOpened);
    EXPECT_THAT(host.boxes, testing::IsEmpty());
    EXPECT_TRUE(fs::exists(temp / "launcher.exe.old"));
    std::vector<fs::path> entries;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Base())) entries.push_back(entry.path());
    EXPECT_EQ(entries, std::vector<fs::path>{Base() / "launcher.json"});
    EXPECT_EQ(test::ReadFile(Base() / "launcher.json"), settings);
}

struct HiddenCase {
    std::string name;
    bool minimized;
    bool hidden;
};

class HiddenWindowTest : public StartUpTest, public testing::WithParamInterface<HiddenCase> {};

TEST_P(HiddenWindowTest, NoFrameIsDrawnYetPlayAtStartIsHandled) {
    host.arguments = {"launcher.exe", "--play"};
    host.minimized = GetParam().minimized;
    host.hidden = GetParam().hidden;
    ASSERT_EQ(MakeRun("dev").Start(), LauncherRun::kRunning);
    ASSERT_TRUE(test::WaitUntilIdle(run->app()));
    ASSERT_TRUE(run->Turn());
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.frames, 0);
    EXPECT_EQ(host.waits, 2);
    EXPECT_EQ(LogLines("play at start: the launcher stays"),
              std::vector<std::string>{"play at start: the launcher stays, no game chosen"});
    host.minimized = host.hidden = false;
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.frames, 1);
    EXPECT_EQ(host.waits, 2);
}

INSTANTIATE_TEST_SUITE_P(Windows, HiddenWindowTest,
                         testing::Values(HiddenCase{"Minimized", true, false}, HiddenCase{"Hidden", false, true},
                                         HiddenCase{"MinimizedAndHidden", true, true}),
                         test::CaseName());

TEST_F(StartUpTest, AnOccludedWindowDrawsNothingAndWaitsUntilItCanBeSeenAgain) {
    ASSERT_EQ(MakeRun("dev").Start(), LauncherRun::kRunning);
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.frames, 1);
    // The screen is locked: the next present says so, and the tests go on saying so.
    host.present = Presented::kOccluded;
    host.occluded = true;
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.frames, 2);
    host.present = Presented::kShown;
    for (int turn = 0; turn < 3; ++turn) ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.frames, 2);
    EXPECT_EQ(host.waits, 3);
    EXPECT_EQ(host.occlusionTests, 3);
    // Unlocked: one more test, then frames as before.
    host.occluded = false;
    ASSERT_TRUE(run->Turn());
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.frames, 4);
    EXPECT_EQ(host.waits, 3);
    EXPECT_EQ(host.occlusionTests, 4);
}

struct DeviceLossCase {
    std::string name;
    // Lost when the frame starts (resizing the buffers), else when it is presented.
    bool atFrameStart;
};

class DeviceLossTest : public StartUpTest, public testing::WithParamInterface<DeviceLossCase> {};

TEST_P(DeviceLossTest, TheDeviceIsMadeAgainBeforeTheNextFrameTriedAgainAfterAWaitWhileItCannotBe) {
    const bool atFrameStart = GetParam().atFrameStart;
    ASSERT_EQ(MakeRun("dev").Start(), LauncherRun::kRunning);
    ASSERT_TRUE(run->Turn());
    ASSERT_EQ(host.frames, 1);
    const int imguiFrames = ImGui::GetFrameCount();
    host.frameStartFails = atFrameStart;
    if (!atFrameStart) host.present = Presented::kDeviceLost;
    host.restoreFailures = 2;
    ASSERT_TRUE(run->Turn());
    // Lost at the start, the frame is not begun at all: nothing is drawn into a missing view.
    EXPECT_EQ(ImGui::GetFrameCount() - imguiFrames, atFrameStart ? 0 : 1);
    const int framesAtTheLoss = host.frames;
    EXPECT_EQ(framesAtTheLoss, atFrameStart ? 1 : 2);
    EXPECT_EQ(host.restores, 0);
    host.frameStartFails = false;
    host.present = Presented::kShown;

    ASSERT_TRUE(run->Turn());
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.restores, 2);
    EXPECT_EQ(host.frames, framesAtTheLoss);
    EXPECT_EQ(host.waits, 2);
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.restores, 3);
    EXPECT_EQ(host.frames, framesAtTheLoss + 1);
    ASSERT_TRUE(run->Turn());
    EXPECT_EQ(host.restores, 3);
    EXPECT_EQ(host.frames, framesAtTheLoss + 2);
    EXPECT_EQ(host.waits, 2);
}

INSTANTIATE_TEST_SUITE_P(Losses, DeviceLossTest,
                         testing::Values(DeviceLossCase{"AtThePresent", false}, DeviceLossCase{"AtTheFrameStart", true}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
