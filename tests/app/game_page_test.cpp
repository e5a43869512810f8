// The Game page drawn headless from the App's state, read back through the page reader, and
// pressed through ImGui's own mouse input.
#include "app/game_page.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <array>
#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/shell.h"
#include "app/theme.h"
#include "platform/text.h"
#include "tests/app/connected_app.h"
#include "tests/builder/package_world.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/digests.h"
#include "tests/support/expected_palette.h"
#include "tests/support/fake_http.h"
#include "tests/support/page_reader.h"
#include "tests/support/shell_stand_in.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::ColourName;

using namespace test::expected_palette;

constexpr char kXbe[] = "the disc's own default.xbe";
constexpr char kRegion[] = "Europe";

constexpr char kChooseText[] =
    "Choose your copy of the game: a disc image (.iso) of your own disc, or a folder with the disc's files. "
    "Nothing is copied off the internet: the game comes from your disc.";
constexpr char kFasterText[] =
    "This version comes ready-made: your PC only builds the game's own code, in a minute or two, with no build "
    "tools to download. Your saves, settings and music are kept, and the game you have keeps working until the new "
    "one is ready.";
constexpr char kReadyToGoText[] =
    "The program comes ready to go, and your PC builds the game's code from your own disc, once. Nothing is "
    "installed in Windows, and it all stays in one folder.";
constexpr char kStopHint[] =
    "You can stop at any time: it carries on from there next time. Your saves and music are not touched.";
constexpr char kWorkingHint[] = "Working: see the bar below. It carries on from there next time if you stop it.";
constexpr char kSourceText[] =
    "The game is built on this PC from your disc. This downloads about 1.4 GB of build tools (Clang, CMake, Git "
    "and Microsoft's C++ libraries and Windows SDK) into the tools folder; nothing is installed in Windows. The "
    "first build takes 30 to 90 minutes and needs about 3 GB free, plus room for your copy of the game.";
constexpr char kConsent[] = "I accept the license terms for Microsoft's C++ libraries and Windows SDK";
constexpr char kPlayAtStart[] = "Start the game when the launcher opens, if nothing needs updating";
constexpr char kPending[] = "The game starts once the check for a new version is done.";
constexpr char kShiftHint[] =
    "Hold Shift as the launcher opens to stay in it. The launch option --play does the same for one shortcut (a "
    "Steam shortcut, say).";
constexpr char kInGameHint[] =
    "In the game: F1 opens the PC settings. Saves, settings and logs stay in the game's folder.";
constexpr char kLastError[] = "The last build stopped, see launcher.log";
constexpr char kLogLink[] = "Open launcher.log";
const std::regex kFreeSpace("Free on this drive: [0-9]+(\\.[0-9])? (MB|GB)");

// A step row as read: its title's colour and the detail on its line, right of the title.
struct SeenRow {
    ImU32 colour = 0;
    std::string detail;
    ImU32 detailColour = 0;
};

class GamePageTest : public testing::Test {
protected:
    void SetUp() override {
        ApplyStyle(1.0f);
        heading = LoadFonts(test::WineFontsFolder(), 1.0f);
        page.BuildFonts();
        ASSERT_EQ(ImGui::GetIO().Fonts->Fonts.Size, 2) << "the page tests need fonts-wine's Tahoma and Tahoma Bold";
        game = test::PackageGame();
        game.releases[test::Sha1Of(kXbe)] = kRegion;
    }

    void TearDown() override {
        test::WaitUntilIdle(app);
    }

    // The App as the entry function makes it, on the game and base folder set up so far; its Http
    // answers nothing unless one is given.
    void Connect(std::unique_ptr<Http> http = std::make_unique<test::FakeHttp>()) {
        app.http = std::move(http);
        app.game = game;
        fs::create_directories(base);
        test::ConnectBuilder(app, base);
    }

    fs::path Play() const { return base / "play"; }
    fs::path Exe() const { return Play() / ("Velmora2" + app.platform->ExeSuffix()); }

    // A usable copy, as the start-up identifies the one launcher.json names.
    void ChooseCopy() {
        app.source.ok = true;
        app.source.region = kRegion;
        app.source.sha1 = test::Sha1Of(kXbe);
        app.source.source = temp / "disc";
    }
    void InstallExe() { test::WriteFile(Exe(), "the port's executable"); }
    void InstallLibrary() { test::WriteFile(Play() / "Velmora2.dll", "the game's code"); }

    // A folder of the disc's files: the XBE and two more.
    void MakeDiscFolder(const fs::path& folder, bool complete = true) {
        test::WriteFile(folder / "default.xbe", kXbe);
        if (!complete) return;
        test::WriteFile(folder / "media" / "intro.xmv", "a video");
        test::WriteFile(folder / "readme.txt", "the disc's notes");
    }

    // As the launcher's window draws the page: an adopted copy first becomes the source.
    void Draw() {
        TakeAdoptedCopy(app);
        {
            std::lock_guard<std::mutex> lock(app.mutex);
            status = app.status;
            error = app.error;
            notice = app.notice;
        }
        test::DisplayWindow([this] { GamePage(app, &ownerWindow, heading, status, error, notice); });
    }
    std::function<void()> Drawer() {
        return [this] { Draw(); };
    }
    void Frames(int count = 2) { page.Frames(count, Drawer()); }
    bool Click(const std::string& label) { return page.Click(label, Drawer()); }

    void ExpectText(const std::string& text, ImU32 colour) {
        const std::optional<test::FoundText> found = page.FindText(text);
        ASSERT_TRUE(found) << "no \"" << text << "\" in:\n" << page.Describe();
        EXPECT_EQ(ColourName(found->colour), ColourName(colour)) << text;
    }
    void ExpectLabel(const std::string& label, ImU32 colour) {
        const std::optional<test::FoundText> found = page.ItemText(label);
        ASSERT_TRUE(found) << "no label \"" << label << "\" in:\n" << page.Describe();
        EXPECT_EQ(ColourName(found->colour), ColourName(colour)) << label;
    }
    bool Shows(const std::string& text) const { return page.FindText(text).has_value(); }

    // The step row titled title (drawn in the body font, unlike a section title of that name).
    std::optional<SeenRow> Row(const std::string& title) const {
        const std::vector<test::FoundText> paragraphs = page.Paragraphs();
        for (const test::FoundText& row : paragraphs) {
            if (row.text != title || row.font == heading) continue;
            SeenRow seen{row.colour, "", 0};
            for (const test::FoundText& detail : paragraphs) {
                if (std::fabs(detail.position.y - row.position.y) < 0.5f && detail.position.x > row.right) {
                    seen.detail = detail.text;
                    seen.detailColour = detail.colour;
                }
            }
            return seen;
        }
        return std::nullopt;
    }

    // Enabled (true) or disabled (false); a test failure when it is not drawn.
    bool Enabled(const std::string& label) {
        const test::PageItem* item = page.FindItem(label);
        EXPECT_NE(item, nullptr) << "no item \"" << label << "\" in:\n" << page.Describe();
        return item != nullptr && !item->disabled;
    }

    test::PageReader page;
    test::ShellStandIn shell;
    ImFont* heading = nullptr;
    test::TempFolder temp;
    fs::path base = test::BaseFolderIn(temp.path());
    Game game;
    App app;
    int ownerWindow = 0;
    Status status;
    std::string error;
    std::string notice;
};

// Package mode ------------------------------------------------------------------------------------

enum class Installed { kNo, kYes, kTheOldWay };
enum class Running { kNothing, kBuildAtPhase2, kMusicImport };

struct Step {
    ImU32 colour;
    std::string detail;
};

struct PackageCase {
    std::string name;
    // The state.
    bool chosen;
    Installed installed;
    bool updateReady;
    std::string ownVersion;
    std::string builtVersion;
    Running running;
    // What the page shows.
    std::string title;
    std::string text;  // none when empty
    std::array<Step, 4> rows;
    std::string versionLine;  // none when empty
    std::string button;       // none when empty
    bool buttonEnabled;
    bool playEnabled;
    bool stopHint;
    bool noticeBox;
};

const Step kDoneRegion{kText, kRegion};
const Step kDone{kText, ""};
const Step kWaiting{kMuted, ""};

class GamePagePackageTest : public GamePageTest, public testing::WithParamInterface<PackageCase> {};

TEST_P(GamePagePackageTest, ShowsTheStateOfTheGame) {
    const PackageCase& c = GetParam();
    game.version = c.ownVersion;
    Connect();
    if (c.chosen) ChooseCopy();
    if (c.installed != Installed::kNo) InstallExe();
    if (c.installed == Installed::kYes) InstallLibrary();
    if (!c.builtVersion.empty()) app.builder->SaveSetting("built", c.builtVersion);
    app.gameUpdateReady = c.updateReady;
    app.error = kLastError;
    if (c.running != Running::kNothing) app.busy = true;
    if (c.running == Running::kBuildAtPhase2) {
        app.builder->phase = 2;
        app.status = Status{"Unpacking the game's package", "3 of 9 files", 0.3};
    }
    app.musicResultShown = c.running == Running::kMusicImport;
    Frames();
    app.busy = false;

    ExpectText(c.title, kAccent);
    EXPECT_EQ(page.FindText(c.title)->font, heading);
    if (!c.text.empty()) ExpectText(c.text, kText);
    for (const char* other : {kFasterText, kReadyToGoText}) {
        if (other != c.text) {
            EXPECT_FALSE(Shows(other)) << other;
        }
    }

    const std::array<const char*, 4> titles = {"Your game", "Download the program", "Unpack it",
                                               "Build the game for this PC"};
    for (size_t i = 0; i < titles.size(); ++i) {
        SCOPED_TRACE(titles[i]);
        const std::optional<SeenRow> row = Row(titles[i]);
        ASSERT_TRUE(row) << page.Describe();
        EXPECT_EQ(ColourName(row->colour), ColourName(c.rows[i].colour));
        EXPECT_EQ(row->detail, c.rows[i].detail) << page.Describe();
        if (!row->detail.empty()) {
            EXPECT_EQ(ColourName(row->detailColour), ColourName(c.rows[i].colour == kWhite ? kAccent : kMuted));
        }
    }

    if (c.versionLine.empty()) {
        EXPECT_FALSE(page.FindTextMatching(std::regex("(Version .*|A new version is available\\.)")));
    } else {
        ExpectText(c.versionLine, kAccent);
    }
    EXPECT_EQ(page.FindItem("Update") != nullptr || page.FindItem("Get the game ready") != nullptr, !c.button.empty());
    EXPECT_EQ(page.FindTextMatching(kFreeSpace).has_value(), !c.button.empty());
    if (!c.button.empty()) {
        EXPECT_EQ(Enabled(c.button), c.buttonEnabled);
        EXPECT_EQ(page.FindItem(c.button)->width(), 14 * 15.0f);
        ExpectLabel(c.button, kWhite);
        ExpectText(page.FindTextMatching(kFreeSpace)->text, kMuted);
    }
    EXPECT_EQ(Enabled("Play"), c.playEnabled);
    EXPECT_EQ(Shows(kStopHint), c.stopHint);
    EXPECT_EQ(Shows(kLastError), c.noticeBox);
    EXPECT_EQ(page.FindItem(kLogLink) != nullptr, c.noticeBox);
    EXPECT_FALSE(Shows("Build")) << "the build from source's title";
    ExpectText(kShiftHint, kMuted);
    ExpectText(kInGameHint, kMuted);
}

INSTANTIATE_TEST_SUITE_P(
    States, GamePagePackageTest,
    testing::Values(
        PackageCase{"no_copy_chosen",
                    false,
                    Installed::kNo,
                    false,
                    "dev",
                    "",
                    Running::kNothing,
                    "Getting the game ready",
                    kReadyToGoText,
                    {Step{kMuted, "not chosen yet"}, kWaiting, kWaiting, kWaiting},
                    "",
                    "Get the game ready",
                    false,
                    false,
                    false,
                    true},
        PackageCase{"chosen_not_installed",
                    true,
                    Installed::kNo,
                    false,
                    "dev",
                    "",
                    Running::kNothing,
                    "Getting the game ready",
                    kReadyToGoText,
                    {kDoneRegion, kWaiting, kWaiting, kWaiting},
                    "",
                    "Get the game ready",
                    true,
                    false,
                    false,
                    true},
        PackageCase{"installed_no_update",
                    true,
                    Installed::kYes,
                    false,
                    "dev",
                    "",
                    Running::kNothing,
                    "Ready to play",
                    "",
                    {kDoneRegion, kDone, kDone, kDone},
                    "",
                    "",
                    false,
                    true,
                    false,
                    true},
        PackageCase{"update_waiting_development_launcher",
                    true,
                    Installed::kYes,
                    true,
                    "dev",
                    "dev",
                    Running::kNothing,
                    "Getting the game ready",
                    "",
                    {kDoneRegion, kWaiting, kWaiting, kWaiting},
                    "A new version is available.",
                    "Update",
                    true,
                    true,
                    false,
                    true},
        PackageCase{
            "update_waiting_built_version_unknown",
            true,
            Installed::kYes,
            true,
            "v1.2",
            "",
            Running::kNothing,
            "Getting the game ready",
            "",
            {kDoneRegion, kWaiting, kWaiting, kWaiting},
            "Version v1.2 is ready to install (yours: an earlier one). Your saves, settings and music are kept.",
            "Update",
            true,
            true,
            false,
            true},
        PackageCase{"update_waiting_built_version_known",
                    true,
                    Installed::kYes,
                    true,
                    "v1.2",
                    "v1.1",
                    Running::kNothing,
                    "Getting the game ready",
                    "",
                    {kDoneRegion, kWaiting, kWaiting, kWaiting},
                    "Version v1.2 is ready to install (yours: v1.1). Your saves, settings and music are kept.",
                    "Update",
                    true,
                    true,
                    false,
                    true},
        PackageCase{"built_the_old_way",
                    true,
                    Installed::kTheOldWay,
                    false,
                    "dev",
                    "",
                    Running::kNothing,
                    "A faster way to play",
                    kFasterText,
                    {kDoneRegion, kWaiting, kWaiting, kWaiting},
                    "",
                    "Update",
                    true,
                    true,
                    false,
                    true},
        PackageCase{"building_at_phase_2",
                    true,
                    Installed::kNo,
                    false,
                    "dev",
                    "",
                    Running::kBuildAtPhase2,
                    "Getting the game ready",
                    kReadyToGoText,
                    {kDoneRegion, kDone, Step{kWhite, "3 of 9 files"}, kWaiting},
                    "",
                    "",
                    false,
                    false,
                    true,
                    false},
        PackageCase{"building_over_the_old_way",
                    true,
                    Installed::kTheOldWay,
                    false,
                    "dev",
                    "",
                    Running::kBuildAtPhase2,
                    "A faster way to play",
                    kReadyToGoText,
                    {kDoneRegion, kDone, Step{kWhite, "3 of 9 files"}, kWaiting},
                    "",
                    "",
                    false,
                    false,
                    true,
                    false},
        PackageCase{"music_import_running",
                    true,
                    Installed::kNo,
                    false,
                    "dev",
                    "",
                    Running::kMusicImport,
                    "Getting the game ready",
                    kReadyToGoText,
                    {kDoneRegion, kWaiting, kWaiting, kWaiting},
                    "",
                    "Get the game ready",
                    false,
                    false,
                    false,
                    false}),
    test::CaseName());

// A music import runs (busy, but no build): the install button must not take a press that the task
// thread then drops, losing the update offer on the way.
TEST_F(GamePageTest, TheInstallButtonWaitsForARunningMusicImport) {
    Connect();
    ChooseCopy();
    InstallExe();
    InstallLibrary();
    app.gameUpdateReady = true;
    app.musicResultShown = true;
    app.busy = true;
    Frames();
    ASSERT_TRUE(Click("Update"));
    Frames(1);
    EXPECT_TRUE(app.gameUpdateReady);
    EXPECT_TRUE(app.musicResultShown);
    EXPECT_TRUE(Shows("Getting the game ready"));
    EXPECT_FALSE(Shows(kStopHint));
    app.busy = false;
}

// Source mode -------------------------------------------------------------------------------------

struct SourceCase {
    std::string name;
    // The state.
    bool installed;
    bool agreed;
    bool pathTooLong;
    bool updateReady;
    std::string ownVersion;
    std::string builtVersion;
    bool busy;
    // What the page shows besides the title.
    std::string button;  // none when empty
    bool buttonEnabled;
    std::string line;  // the line above the button ("{too long}" for the builder's message)
    ImU32 lineColour;
    bool consent;
};

class GamePageSourceTest : public GamePageTest, public testing::WithParamInterface<SourceCase> {};

TEST_P(GamePageSourceTest, ShowsTheBuildFromSource) {
    const SourceCase& c = GetParam();
    game.package.clear();
    game.version = c.ownVersion;
    if (c.pathTooLong) base = temp / std::string(80, 'p') / "Velmora2";
    Connect();
    ChooseCopy();
    if (c.installed) InstallExe();
    if (!c.builtVersion.empty()) app.builder->SaveSetting("built", c.builtVersion);
    app.agreed = c.agreed;
    app.gameUpdateReady = c.updateReady;
    app.busy = c.busy;
    app.error = kLastError;
    Frames();
    app.busy = false;

    ExpectText("Build", kAccent);
    for (const char* button : {"Build", "Rebuild", "Update"}) {
        EXPECT_EQ(page.FindItem(button) != nullptr, c.button == button) << button;
    }
    if (!c.button.empty()) {
        EXPECT_EQ(Enabled(c.button), c.buttonEnabled);
        EXPECT_EQ(page.FindItem(c.button)->width(), 10 * 15.0f);
        ExpectLabel(c.button, c.button == "Rebuild" ? kText : kWhite);
    }
    std::string line = c.line;
    if (line == "{too long}") {
        ASSERT_TRUE(app.builder->PathTooLongForSdk(line));
    }
    ExpectText(line, c.lineColour);

    EXPECT_EQ(Shows(kSourceText), c.consent);
    EXPECT_EQ(page.FindTextMatching(kFreeSpace).has_value(), c.consent);
    const test::PageItem* box = page.FindItem(kConsent);
    EXPECT_EQ(box != nullptr, c.consent);
    if (box != nullptr) {
        EXPECT_EQ(box->checked, c.agreed);
    }
    EXPECT_EQ(page.FindItem("Read them") != nullptr, c.consent);
    EXPECT_EQ(Shows(kWorkingHint), c.busy);
    EXPECT_EQ(Shows(kLastError), !c.busy);
    EXPECT_FALSE(Row("Your game")) << "no step rows from source";
}

INSTANTIATE_TEST_SUITE_P(
    States, GamePageSourceTest,
    testing::Values(
        SourceCase{"not_agreed", false, false, false, false, "dev", "", false, "Build", false, kConsent, kText, true},
        SourceCase{"agreed", false, true, false, false, "dev", "", false, "Build", true, kConsent, kText, true},
        SourceCase{"path_too_long", false, true, true, false, "dev", "", false, "Build", false, "{too long}", kFailure,
                   true},
        SourceCase{"installed", true, true, false, false, "dev", "dev", false, "Rebuild", true, "Built and ready.",
                   kSuccess, false},
        SourceCase{"update_waiting_development_launcher", true, true, false, true, "dev", "dev", false, "Update", true,
                   "A new version is available.", kAccent, false},
        SourceCase{"update_waiting_released_launcher", true, true, false, true, "v1.2", "v1.1", false, "Update", true,
                   "Version v1.2 of the game is ready to build (yours: v1.1).", kAccent, false},
        SourceCase{"busy", false, true, false, false, "dev", "", true, "", false, kWorkingHint, kMuted, false}),
    test::CaseName());

// Presses -----------------------------------------------------------------------------------------

TEST_F(GamePageTest, BuildRecordsTheAgreementAndStartsTheBuild) {
    game.package.clear();
    Connect();
    ChooseCopy();
    app.agreed = true;
    app.gameUpdateReady = true;
    app.musicResultShown = true;
    Frames();
    ASSERT_TRUE(Click("Read them"));
    ASSERT_EQ(shell.opened.size(), 1u);
    const std::string terms = shell.opened[0];
    EXPECT_TRUE(terms.starts_with("https://")) << terms;

    ASSERT_TRUE(Click("Build"));
    EXPECT_EQ(test::ReadFile(base / "agreed.txt"), terms) << "the address, with no line end";
    EXPECT_FALSE(app.gameUpdateReady);
    EXPECT_FALSE(app.musicResultShown);
    ASSERT_TRUE(test::WaitUntilIdle(app));
    Frames();

    // Nothing answers: the build fails at once, and says why.
    std::string failure;
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        failure = app.error;
    }
    ASSERT_FALSE(failure.empty());
    EXPECT_TRUE(test::ReadFile(base / "launcher.log").find("build stopped: " + failure) != std::string::npos);
    ExpectText(failure, kFailure);
    ASSERT_TRUE(Click(kLogLink));
    EXPECT_EQ(shell.opened.back(), PathToUtf8(base / "launcher.log"));
}

TEST_F(GamePageTest, GetTheGameReadyClearsTheOffersAndStartsTheInstall) {
    Connect();
    ChooseCopy();
    app.musicResultShown = true;
    Frames();
    ASSERT_TRUE(Click("Get the game ready"));
    EXPECT_FALSE(app.musicResultShown);
    ASSERT_TRUE(test::WaitUntilIdle(app));
    Frames();
    std::string failure;
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        failure = app.error;
    }
    // launcher.json names no copy here: the package build refuses at once.
    EXPECT_EQ(failure, "Choose the game first.");
    ExpectText(failure, kFailure);
}

TEST_F(GamePageTest, ThePlayAtStartBoxSavesEachChangeKeepingTheOtherSettings) {
    Connect();
    app.builder->SaveSetting("game", "C:\\Games\\Velmora");
    app.builder->SaveSetting("built", "v1.1");
    Frames();
    const auto settings = [&] { return nlohmann::json::parse(test::ReadFile(base / "launcher.json")); };

    ASSERT_TRUE(Click(kPlayAtStart));
    EXPECT_TRUE(app.playAtStart);
    EXPECT_EQ(settings(), nlohmann::json({{"game", "C:\\Games\\Velmora"}, {"built", "v1.1"}, {"play_at_start", true}}));
    EXPECT_TRUE(page.FindItem(kPlayAtStart)->checked);

    ASSERT_TRUE(Click(kPlayAtStart));
    EXPECT_FALSE(app.playAtStart);
    EXPECT_EQ(settings()["play_at_start"], false);
    EXPECT_EQ(settings()["game"], "C:\\Games\\Velmora");
}

TEST_F(GamePageTest, AGameThatDoesNotStartShowsWhy) {
    Connect();
    ChooseCopy();
    InstallExe();  // a text file, not a program
    InstallLibrary();
    Frames();
    ASSERT_TRUE(Enabled("Play"));
    const test::PageItem* play = page.FindItem("Play");
    EXPECT_EQ(play->width(), 10 * 15.0f);
    EXPECT_EQ(page.ItemText("Play")->font, heading);
    ExpectLabel("Play", kWhite);

    ASSERT_TRUE(Click("Play"));
    std::string expected;
    ASSERT_FALSE(app.builder->StartGame(expected));
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        EXPECT_EQ(app.error, expected);
    }
    Frames(1);
    ExpectText(expected, kFailure);
}

TEST_F(GamePageTest, StayInTheLauncherCancelsPlayAtStart) {
    Connect();
    app.playPending = true;
    Frames();
    ExpectText(kPending, kAccent);
    ASSERT_TRUE(Click("Stay in the launcher"));
    EXPECT_FALSE(app.playPending);
    Frames(1);
    EXPECT_FALSE(Shows(kPending));
    EXPECT_EQ(page.FindItem("Stay in the launcher"), nullptr);
    ExpectText(kShiftHint, kMuted);
    ExpectText(kInGameHint, kMuted);
}

class GamePageOfferTest : public GamePageTest {
protected:
    void Offer(const Release& release) {
        {
            std::lock_guard<std::mutex> lock(app.releaseMutex);
            app.offeredRelease = release;
        }
        app.launcherOffered = true;
    }

    Release release{"v1.3.0",
                    "Velmora Launcher 1.3.0",
                    "Faster",
                    "https://github.com/o/n/releases/tag/v1.3.0",
                    "https://github.com/o/n/releases/download/v1.3.0/Velmora2Launcher.exe",
                    "",
                    0};
};

TEST_F(GamePageOfferTest, LaterHidesTheOfferForTheRun) {
    Connect();
    Offer(release);
    Frames();
    ExpectText("A new version", kAccent);
    ExpectText("Version v1.3.0 is out (this launcher is dev).", kAccent);
    ExpectText(
        "Update the launcher, then build the game again with the new version. Your saves and settings are "
        "kept.",
        kText);
    EXPECT_TRUE(Enabled("Update the launcher"));

    ASSERT_TRUE(Click("Later"));
    EXPECT_TRUE(app.offerDismissed);
    for (int frame = 0; frame < 3; ++frame) {
        Frames(1);
        EXPECT_FALSE(Shows("A new version"));
        EXPECT_EQ(page.FindItem("Update the launcher"), nullptr);
        EXPECT_EQ(page.FindItem("What's new"), nullptr);
    }
    EXPECT_TRUE(Shows("Your game")) << "the rest of the page stays";
}

// The task gets the offered release: one that gives no way to check its download fails at once,
// touching no file.
TEST_F(GamePageOfferTest, UpdateTheLauncherStartsTheSelfUpdateWithTheOfferedRelease) {
    Connect();
    release.sha256.clear();
    release.size = 0;
    Offer(release);
    app.gameUpdateReady = true;
    app.musicResultShown = true;
    Frames();
    ASSERT_TRUE(Click("Update the launcher"));
    EXPECT_FALSE(app.musicResultShown);
    EXPECT_TRUE(app.gameUpdateReady) << "only the build buttons clear the game's update";
    ASSERT_TRUE(test::WaitUntilIdle(app));
    Frames();
    ExpectText(
        "The new launcher cannot be checked (its release gives no checksum and no size), so it was not "
        "installed.",
        kFailure);
}

struct UpdateButtonCase {
    std::string name;
    std::string url;
    bool busy;
    bool enabled;
};

class GamePageUpdateButtonTest : public GamePageOfferTest, public testing::WithParamInterface<UpdateButtonCase> {};

TEST_P(GamePageUpdateButtonTest, NeedsADownloadAndNoTask) {
    Connect();
    release.url = GetParam().url;
    Offer(release);
    app.busy = GetParam().busy;
    Frames();
    app.busy = false;
    EXPECT_EQ(Enabled("Update the launcher"), GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GamePageUpdateButtonTest,
    testing::Values(
        UpdateButtonCase{"with_a_download", "https://github.com/o/n/releases/download/v1.3.0/x.exe", false, true},
        UpdateButtonCase{"without_a_download", "", false, false},
        UpdateButtonCase{"while_a_task_runs", "https://github.com/o/n/releases/download/v1.3.0/x.exe", true, false}),
    test::CaseName());

struct PageAddressCase {
    std::string name;
    std::string page;
    bool opened;
};

class GamePageWhatsNewTest : public GamePageOfferTest, public testing::WithParamInterface<PageAddressCase> {};

// The release page comes from the network; the shell's "open" would also run a program or open a
// share.
TEST_P(GamePageWhatsNewTest, OpensOnlyAWebPageOverHttps) {
    Connect();
    release.page = GetParam().page;
    Offer(release);
    Frames();
    ASSERT_TRUE(Click("What's new"));
    if (GetParam().opened) {
        EXPECT_EQ(shell.opened, std::vector<std::string>{GetParam().page});
    } else {
        EXPECT_TRUE(shell.opened.empty()) << shell.opened.front();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, GamePageWhatsNewTest,
    testing::Values(PageAddressCase{"release_page", "https://github.com/o/n/releases/tag/v1.3.0", true},
                    PageAddressCase{"upper_case_scheme", "HTTPS://github.com/o/n/releases/tag/v1.3.0", true},
                    PageAddressCase{"empty", "", false},
                    PageAddressCase{"local_program", "C:\\Windows\\System32\\calc.exe", false},
                    PageAddressCase{"file_address", "file:///C:/x", false},
                    PageAddressCase{"network_share", "\\\\host\\share\\x.exe", false},
                    PageAddressCase{"plain_http", "http://github.com/o/n/releases/tag/v1.3.0", false},
                    PageAddressCase{"scheme_only_in_part", "https:/github.com/o/n", false}),
    test::CaseName());

// Pickers -----------------------------------------------------------------------------------------

enum class Answer { kAssetsFolder, kXbeInAssets, kIncompleteFolder, kFolderWhileAssetsHoldFiles, kNothing };

struct PickerCase {
    std::string name;
    const char* button;
    Answer answer;
    bool folderMode;
    bool usable;
    std::string message;  // in the failure colour; "{assets}" stands for play/assets
    bool adoptionFails = false;
};

class GamePagePickerTest : public GamePageTest, public testing::WithParamInterface<PickerCase> {};

TEST_P(GamePagePickerTest, IdentifiesAndAdoptsTheChosenCopy) {
    const PickerCase& c = GetParam();
    Connect();
    const fs::path assets = Play() / "assets";
    const fs::path elsewhere = temp / "disc";
    fs::path answer;
    switch (c.answer) {
        case Answer::kAssetsFolder:
            // Adopted where it is: no link is needed, which Wine cannot make.
            MakeDiscFolder(assets);
            answer = assets;
            break;
        case Answer::kXbeInAssets:
            MakeDiscFolder(assets);
            answer = assets / "default.xbe";
            break;
        case Answer::kIncompleteFolder:
            MakeDiscFolder(elsewhere, false);
            answer = elsewhere;
            break;
        case Answer::kFolderWhileAssetsHoldFiles:
            MakeDiscFolder(elsewhere);
            test::WriteFile(assets / "notes.txt", "the user's own notes");
            answer = elsewhere;
            break;
        case Answer::kNothing:
            break;
    }
    shell.pickerAnswer = answer.empty() ? std::wstring() : PathToWide(answer);
    Frames();
    ASSERT_TRUE(Click(c.button));
    ASSERT_TRUE(test::WaitUntilIdle(app)) << "the adoption did not end";
    Frames();

    ASSERT_EQ(shell.pickerCalls.size(), 1u);
    EXPECT_EQ(shell.pickerCalls[0].owner, &ownerWindow);
    EXPECT_EQ(shell.pickerCalls[0].folder, c.folderMode);
    EXPECT_FALSE(shell.pickerCalls[0].title.has_value()) << "the dialog's own title";

    EXPECT_EQ(app.source.ok, c.usable);
    const std::optional<SeenRow> row = Row("Your game");
    ASSERT_TRUE(row);
    if (c.usable) {
        ExpectText(kRegion, kSuccess);
        ExpectText(PathToUtf8(assets), kMuted);
        EXPECT_EQ(app.builder->ReadStringSetting("game"), PathToUtf8(assets));
        EXPECT_EQ(app.builder->ReadStringSetting("game_sha1"), test::Sha1Of(kXbe));
        EXPECT_EQ(row->detail, kRegion);
        EXPECT_TRUE(Enabled("Get the game ready"));
        return;
    }
    ExpectText(kChooseText, kText);
    if (c.message.empty()) {
        EXPECT_TRUE(app.source.error.empty());
    } else {
        std::string message = c.message;
        const size_t at = message.find("{assets}");
        if (at != std::string::npos) message.replace(at, 8, PathToUtf8(assets));
        // A copy that cannot be identified says so under "Your game"; one that cannot be adopted
        // is the adoption task's error.
        if (c.adoptionFails) {
            EXPECT_TRUE(app.source.error.empty()) << app.source.error;
            std::lock_guard<std::mutex> lock(app.mutex);
            EXPECT_EQ(app.error, message);
        } else {
            EXPECT_EQ(app.source.error, message);
        }
        ExpectText(message, kFailure);
    }
    EXPECT_EQ(app.builder->ReadStringSetting("game"), "");
    EXPECT_EQ(row->detail, "not chosen yet");
    EXPECT_FALSE(Enabled("Get the game ready"));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, GamePagePickerTest,
    testing::Values(PickerCase{"a_folder", "Choose a folder...", Answer::kAssetsFolder, true, true, ""},
                    PickerCase{"the_xbe_in_a_folder", "Choose a disc image...", Answer::kXbeInAssets, false, true, ""},
                    PickerCase{"a_folder_without_the_rest", "Choose a folder...", Answer::kIncompleteFolder, true,
                               false, "The folder holds default.xbe but not the rest of the disc's files."},
                    PickerCase{"adoption_refused", "Choose a folder...", Answer::kFolderWhileAssetsHoldFiles, true,
                               false, "Cannot replace {assets}: remove it by hand and choose the game again.", true},
                    PickerCase{"cancelled", "Choose a disc image...", Answer::kNothing, false, false, ""}),
    test::CaseName());

TEST_F(GamePageTest, NoCopyCanBeChosenWhileATaskRuns) {
    Connect();
    app.busy = true;
    Frames();
    app.busy = false;
    EXPECT_FALSE(Enabled("Choose a disc image..."));
    EXPECT_FALSE(Enabled("Choose a folder..."));
}

// End to end --------------------------------------------------------------------------------------

// The package published by the code host; the port built into it follows a script with a pause
// between its progress lines, so that frames drawn meanwhile see the step run.
TEST_F(GamePageTest, GetTheGameReadyFromThePublishedPackage) {
    test::CodeHost host;
    host.PublishLatestRelease("o/n", "v2.0.0");
    host.PublishPackage("o/n", "v2.0.0");
    Connect(std::make_unique<test::HttpThrough>(host.http()));
    App* const self = &app;
    const fs::path side = Play() / ".next";
    app.builder->statusCallback = [self, side](const Status& report) {
        if (report.title == "Building Velmora for this PC" && report.detail == "Starting") {
            test::WriteFile(side / "fakeport.txt",
                            "out progress 1 1 4 10 100\nsleep 300\nout progress 1 2 4 50 100\nsleep 300\n"
                            "write Velmora2.dll the game's code for this machine\nexit 0\n");
        }
        OnStatus(*self, report);
    };
    MakeDiscFolder(Play() / "assets");
    shell.pickerAnswer = PathToWide(Play() / "assets");
    Frames();
    ASSERT_TRUE(Click("Choose a folder..."));
    ASSERT_TRUE(test::WaitUntilIdle(app));
    Frames();
    ASSERT_TRUE(app.source.ok) << app.source.error;

    ASSERT_TRUE(Click("Get the game ready"));
    const std::regex filesDone("[0-9] of 4 files");
    bool seenBuilding = false;
    const auto until = std::chrono::steady_clock::now() + test::kTaskDeadline;
    while (app.busy && std::chrono::steady_clock::now() < until) {
        Frames(1);
        const std::optional<SeenRow> row = Row("Build the game for this PC");
        ASSERT_TRUE(row);
        if (row->colour == kWhite && std::regex_match(row->detail, filesDone)) {
            seenBuilding = true;
            EXPECT_EQ(ColourName(row->detailColour), ColourName(kAccent));
            EXPECT_EQ(ColourName(Row("Unpack it")->colour), ColourName(kText));
            EXPECT_TRUE(Shows(kStopHint));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(app.busy) << "the build did not end";
    EXPECT_TRUE(seenBuilding) << "no frame showed the game's code being built";

    Frames();
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        EXPECT_EQ(app.error, "");
    }
    ExpectText("Ready to play", kAccent);
    for (const char* title : {"Your game", "Download the program", "Unpack it", "Build the game for this PC"}) {
        const std::optional<SeenRow> row = Row(title);
        ASSERT_TRUE(row) << title;
        EXPECT_EQ(ColourName(row->colour), ColourName(kText)) << title;
    }
    EXPECT_TRUE(Enabled("Play"));
    EXPECT_EQ(page.FindItem("Get the game ready"), nullptr);
    ExpectText("The game is ready. Press Play.", kSuccess);
}

}  // namespace
}  // namespace launcher
