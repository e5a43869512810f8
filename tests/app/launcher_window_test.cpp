// The launcher's window drawn headless from the App's state and read back as ImGui drew it: the
// section list, the bottom bar, the Manage, Your music and Log pages, and the tasks they start.
#include "app/launcher_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/page_tasks.h"
#include "app/shell.h"
#include "app/theme.h"
#include "builder/protected_folders.h"
#include "platform/text.h"
#include "tests/app/connected_app.h"
#include "tests/support/case_name.h"
#include "tests/support/digests.h"
#include "tests/support/disc_image.h"
#include "tests/support/expected_palette.h"
#include "tests/support/forwarding_platform.h"
#include "tests/support/immutable_file.h"
#include "tests/support/latch.h"
#include "tests/support/page_reader.h"
#include "tests/support/shell_stand_in.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::FoundText;
using test::PageItem;
using test::TextRun;

using namespace test::expected_palette;

constexpr std::uint64_t kMiB = 1ull << 20;
constexpr std::uint64_t kGiB = 1ull << 30;

// The font size of these tests: Tahoma at 15 pixels, scale 1.
constexpr float kS = 15.0f;
// Pen positions are whole pixels: ImGui floors where a text starts.
constexpr float kPixel = 1.0f;

Game TestGame(bool music, bool package) {
    Game game;
    game.title = "Velmora";
    game.shortName = "velmora";
    game.exe = "velmora";
    game.repo = "https://git.example/velmora";
    game.releases = {{"0123456789abcdef0123456789abcdef01234567", "Europe"}};
    game.music = music;
    if (package) game.package = "velmora-win64.zip";
    return game;
}

class LauncherWindowTest : public testing::Test {
protected:
    // Tall enough by default that no page is clipped.
    explicit LauncherWindowTest(ImVec2 displaySize = ImVec2(900.0f, 3000.0f)) : page(displaySize) {}

    void SetUp() override {
        ApplyStyle(1.0f);
        heading = LoadFonts(test::WineFontsFolder(), 1.0f);
        page.BuildFonts();
        Describe(true, true);
    }

    // The App with this game description, and the Builder on the temporary base folder.
    void Describe(bool music, bool package) {
        app.game = TestGame(music, package);
        test::ConnectBuilder(app, base);
    }

    void Draw(int frames = 2) { page.Frames(frames, draw); }

    // The game as a build leaves it in the play folder.
    void Install(bool withLibrary) {
        test::WriteFile(app.builder->GameExePath(), "the game");
        if (withLibrary) test::WriteFile(app.builder->PlayFolder() / "velmora.dll", "the game's code");
    }

    void ChooseCopy() {
        app.source.ok = true;
        app.source.region = "Europe";
        app.source.source = temp / "Velmora (Europe).iso";
    }

    // The text runs drawn left of x (the section list) or right of it (the page and the bars).
    std::vector<TextRun> RunsLeftOf(float x) const {
        std::vector<TextRun> runs;
        for (const TextRun& run : page.runs()) {
            if (run.position.x < x && run.position.y > 2.4f * kS) runs.push_back(run);
        }
        return runs;
    }

    const TextRun* SectionLabel(const std::string& label) const {
        for (const TextRun& run : page.runs()) {
            if (run.text == label && run.position.x < 9.5f * kS) return &run;
        }
        return nullptr;
    }

    // The item whose rectangle holds point (the rows of the section list have no label).
    const PageItem* ItemAt(ImVec2 point) const {
        for (const PageItem& item : page.items()) {
            if (point.x >= item.min.x && point.x < item.max.x && point.y >= item.min.y && point.y < item.max.y) {
                return &item;
            }
        }
        return nullptr;
    }

    // The value beside label in a table of the page area: the paragraph on the label's line.
    std::optional<std::string> RowValue(const std::string& label) const {
        const TextRun* found = nullptr;
        for (const TextRun& run : page.runs()) {
            if (run.text == label && run.position.x > 9.5f * kS) found = &run;
        }
        if (found == nullptr) return std::nullopt;
        for (const FoundText& paragraph : page.Paragraphs()) {
            if (std::fabs(paragraph.position.y - found->position.y) < kPixel &&
                paragraph.position.x > found->position.x + 5.0f * kS) {
                return paragraph.text;
            }
        }
        return std::nullopt;
    }

    // The vertices of the progress bar's fill in the launcher window's own draw list (no other
    // shape there has the pressed colour).
    test::Shape BarFill() const {
        ImGuiWindow* window = ImGui::FindWindowByName("launcher");
        if (window == nullptr) return {};
        const ImDrawList& list = *window->DrawList;
        return test::ShapeOf(list, kPressed, test::Drawn{0, list.VtxBuffer.Size});
    }

    void SetStatus(const Status& status) {
        std::lock_guard<std::mutex> lock(app.mutex);
        app.status = status;
    }

    void SetOutcome(const std::string& error, const std::string& notice) {
        std::lock_guard<std::mutex> lock(app.mutex);
        app.error = error;
        app.notice = notice;
    }

    test::TempFolder temp;
    const fs::path base = temp / "Velmora";
    App app;
    test::PageReader page;
    ImFont* heading = nullptr;
    const std::function<void()> draw = [this] { LauncherWindow(app, nullptr, heading); };
};

// The section list.

struct SectionsCase {
    std::string name;
    bool music;
    std::vector<std::string> labels;
};

class LauncherWindowSectionsTest : public LauncherWindowTest, public testing::WithParamInterface<SectionsCase> {};

TEST_P(LauncherWindowSectionsTest, OneRowASectionTheChosenOneHighlighted) {
    Describe(GetParam().music, true);
    Draw();

    std::vector<std::string> labels;
    for (const TextRun& run : RunsLeftOf(9.5f * kS)) labels.push_back(run.text);
    EXPECT_EQ(labels, GetParam().labels) << page.Describe();
    for (const std::string& label : GetParam().labels) {
        const TextRun* run = SectionLabel(label);
        ASSERT_NE(run, nullptr) << label;
        EXPECT_EQ(run->colour, label == "Game" ? kWhite : kText) << label << ": " << test::ColourName(run->colour);
        // A row of the list's width, 1.9 font sizes high, its label 0.8 s in and centred.
        const PageItem* row = ItemAt(ImVec2(run->position.x, run->position.y + kS / 2));
        ASSERT_NE(row, nullptr) << label;
        EXPECT_NEAR(row->min.x, 0.0f, kPixel);
        EXPECT_NEAR(row->width(), 9.5f * kS, kPixel);
        EXPECT_NEAR(row->max.y - row->min.y, 1.9f * kS, kPixel);
        EXPECT_NEAR(run->position.x, row->min.x + 0.8f * kS, kPixel) << label;
        EXPECT_NEAR(run->position.y, row->min.y + (1.9f * kS - kS) / 2, kPixel) << label;
    }
}

INSTANTIATE_TEST_SUITE_P(Sections, LauncherWindowSectionsTest,
                         testing::Values(SectionsCase{"WithoutMusic", false, {"Game", "Manage", "Log"}},
                                         SectionsCase{"WithMusic", true, {"Game", "Your music", "Manage", "Log"}}),
                         test::CaseName());

TEST_F(LauncherWindowTest, SectionOneWithoutMusicDrawsTheGamePage) {
    Describe(false, true);
    app.section = 1;
    Draw();
    EXPECT_TRUE(page.FindText("Your game").has_value()) << page.Describe();
    EXPECT_FALSE(page.FindText("Choose a music folder...").has_value());
    EXPECT_EQ(page.FindItem("Choose a music folder..."), nullptr);
}

TEST_F(LauncherWindowTest, AClickOnARowChoosesItsSection) {
    OnLogLine(app, "stage tools: 1.5 s");
    Draw();
    const TextRun* log = SectionLabel("Log");
    ASSERT_NE(log, nullptr) << page.Describe();
    page.ClickAt(ImVec2(log->position.x, log->position.y + kS / 2), draw);
    EXPECT_EQ(app.section, 3);

    Draw();
    EXPECT_EQ(SectionLabel("Log")->colour, kWhite);
    EXPECT_EQ(SectionLabel("Game")->colour, kText);
    EXPECT_TRUE(page.FindText("stage tools: 1.5 s").has_value()) << page.Describe();
}

// The header and the bottom bar.

TEST_F(LauncherWindowTest, TheHeaderNamesTheGameAndTheLauncher) {
    Draw();
    const std::optional<FoundText> title = page.FindText("Velmora");
    ASSERT_TRUE(title.has_value()) << page.Describe();
    EXPECT_EQ(title->colour, kWhite);
    EXPECT_EQ(title->font, heading);
    EXPECT_NEAR(title->position.x, 0.8f * kS, kPixel);
    EXPECT_NEAR(title->position.y, 0.7f * kS, kPixel);
    const std::optional<FoundText> version = page.FindText("Launcher dev");
    ASSERT_TRUE(version.has_value()) << page.Describe();
    EXPECT_EQ(version->colour, kMuted);
    EXPECT_NEAR(version->right, 900.0f - 0.8f * kS, kPixel);
    EXPECT_NEAR(version->position.y, 0.7f * kS, kPixel);
}

TEST_F(LauncherWindowTest, IdleTheBottomBarNamesTheBaseFolder) {
    Draw();
    const std::optional<FoundText> first = page.FindText("PC port launcher. Everything goes in");
    const std::optional<FoundText> folder = page.FindText(PathToUtf8(base));
    ASSERT_TRUE(first.has_value() && folder.has_value()) << page.Describe();
    EXPECT_EQ(first->colour, kMuted);
    EXPECT_EQ(folder->colour, kMuted);
    const ImVec2 barTop(9.5f * kS, ImGui::GetIO().DisplaySize.y - 4.4f * kS);
    EXPECT_NEAR(first->position.x, barTop.x + 1.2f * kS, kPixel);
    EXPECT_NEAR(first->position.y, barTop.y + 0.5f * kS, kPixel);
    EXPECT_NEAR(folder->position.x, first->position.x, kPixel);
    EXPECT_GT(folder->position.y, first->position.y);
    EXPECT_EQ(page.FindItem("Stop"), nullptr);
    EXPECT_FALSE(page.FindText("Starting...").has_value());
}

TEST_F(LauncherWindowTest, BusyBeforeTheFirstReportTheBarMovesOnItsOwn) {
    app.busy = true;
    Draw();
    const std::optional<FoundText> starting = page.FindText("Starting...");
    ASSERT_TRUE(starting.has_value()) << page.Describe();
    EXPECT_EQ(starting->colour, kText);
    const float left = 9.5f * kS + 1.2f * kS;
    EXPECT_NEAR(starting->position.x, left, kPixel);
    EXPECT_FALSE(page.FindText("PC port launcher. Everything goes in").has_value());

    // The bar and Stop fill the bar's content width, 1.2 s in from either side.
    const PageItem* stop = page.FindItem("Stop");
    ASSERT_NE(stop, nullptr);
    EXPECT_FALSE(stop->disabled);
    EXPECT_NEAR(stop->width(), 5.0f * kS, kPixel);
    EXPECT_NEAR(stop->max.x, 900.0f - 1.2f * kS, kPixel);
    const float barWidth = 900.0f - 9.5f * kS - 2.4f * kS - 5.0f * kS - ImGui::GetStyle().ItemSpacing.x;
    EXPECT_NEAR(stop->min.x, left + barWidth + ImGui::GetStyle().ItemSpacing.x, kPixel);

    // A segment, never the whole bar, that moves with ImGui's time.
    const test::Shape before = BarFill();
    ASSERT_GT(before.vertices, 0) << "no segment drawn";
    Draw(3);
    const test::Shape after = BarFill();
    ASSERT_GT(after.vertices, 0) << "no segment drawn";
    EXPECT_GE(before.min.x, left);
    EXPECT_LE(after.max.x - after.min.x, 0.2f * barWidth + kPixel);
    EXPECT_GT(after.max.x, before.max.x + kPixel);
    app.busy = false;
}

TEST_F(LauncherWindowTest, BusyWithAReportTheBarShowsItAndStopCancels) {
    app.busy = true;
    SetStatus(Status{"Downloading the program", "12 of 40 MB", 0.25});
    Draw();
    const std::optional<FoundText> title = page.FindText("Downloading the program");
    ASSERT_TRUE(title.has_value()) << page.Describe();
    EXPECT_NEAR(title->position.x, 9.5f * kS + 1.2f * kS, kPixel);
    EXPECT_TRUE(page.FindText("12 of 40 MB").has_value()) << page.Describe();
    EXPECT_FALSE(page.FindText("Starting...").has_value());

    // A quarter of the bar filled from its left, the same in the next frames.
    const float left = 9.5f * kS + 1.2f * kS;
    const float barWidth = 900.0f - 9.5f * kS - 2.4f * kS - 5.0f * kS - ImGui::GetStyle().ItemSpacing.x;
    const test::Shape fill = BarFill();
    ASSERT_GT(fill.vertices, 0);
    EXPECT_NEAR(fill.min.x, left + 1.0f, kPixel);
    EXPECT_NEAR(fill.max.x, left + 1.0f + 0.25f * (barWidth - 2.0f), kPixel);
    Draw(3);
    EXPECT_NEAR(BarFill().max.x, fill.max.x, 0.01f);

    ASSERT_FALSE(app.builder->cancel);
    ASSERT_TRUE(page.Click("Stop", draw));
    EXPECT_TRUE(app.builder->cancel);
    app.busy = false;
}

TEST_F(LauncherWindowTest, ThePageAreaKeepsItsPaddingBelowTheHeader) {
    app.section = 2;
    Draw();
    // A section title starts below a space of half a font size.
    const std::optional<FoundText> title = page.FindText("This install");
    ASSERT_TRUE(title.has_value()) << page.Describe();
    EXPECT_NEAR(title->position.x, 9.5f * kS + 1.2f * kS, kPixel);
    EXPECT_NEAR(title->position.y, 2.4f * kS + 1.0f + 0.8f * kS + 0.5f * kS + ImGui::GetStyle().ItemSpacing.y, kPixel);
}

// The Manage page.

struct ManageCase {
    std::string name;
    bool package;
    bool exe;
    bool library;
    std::string built;
    bool copyChosen;
    std::uint64_t buildFilesSize;
    std::uint64_t toolsSize;
    bool busy;
    // What it shows.
    std::string gameRow;
    std::string buildFilesButton;
    bool buildFilesEnabled;
    std::string toolsButton;  // empty: none
    bool toolsEnabled;
    std::string toolsHint;
    bool rebuildShown;
    bool rebuildEnabled;
    bool folderEnabled;
};

constexpr const char* kToolsHintInstalled =
    "The earlier versions built the game with these; this one does not need them. FFmpeg, for your music, stays.";
constexpr const char* kToolsHintNotInstalled = "Once the game is updated: the earlier versions built it with these.";
constexpr const char* kOldWay = ", built the old way: update it on Game";

class LauncherWindowManageTest : public LauncherWindowTest, public testing::WithParamInterface<ManageCase> {};

TEST_P(LauncherWindowManageTest, RowsAndButtonsFollowTheInstall) {
    const ManageCase& c = GetParam();
    Describe(true, c.package);
    if (c.exe) Install(c.library);
    if (!c.built.empty()) app.builder->SaveSetting("built", c.built);
    if (c.copyChosen) ChooseCopy();
    app.buildFilesSize = c.buildFilesSize;
    app.toolsSize = c.toolsSize;
    app.busy = c.busy;
    app.section = 2;
    Draw();

    EXPECT_EQ(RowValue("Launcher"), "dev") << page.Describe();
    EXPECT_EQ(RowValue("Game"), c.gameRow);
    EXPECT_EQ(RowValue("Your copy"),
              c.copyChosen ? "Europe, " + PathToUtf8(temp / "Velmora (Europe).iso") : std::string("not chosen"));
    EXPECT_EQ(RowValue("Folder"), PathToUtf8(base));
    const std::optional<std::string> free = RowValue("Free on this drive");
    ASSERT_TRUE(free.has_value());
    EXPECT_TRUE(std::regex_match(*free, std::regex("[0-9]+ MB|[0-9]+\\.[0-9] GB"))) << *free;

    const PageItem* folder = page.FindItem("Open the game's folder");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->disabled, !c.folderEnabled);
    const PageItem* log = page.FindItem("Open launcher.log");
    ASSERT_NE(log, nullptr);
    EXPECT_FALSE(log->disabled);

    const PageItem* buildFiles = page.FindItem(c.buildFilesButton);
    ASSERT_NE(buildFiles, nullptr) << page.Describe();
    EXPECT_EQ(buildFiles->disabled, !c.buildFilesEnabled);

    const PageItem* tools = nullptr;
    for (const PageItem& item : page.items()) {
        if (item.label.starts_with("Remove the old build tools")) tools = &item;
    }
    if (c.toolsButton.empty()) {
        EXPECT_EQ(tools, nullptr);
    } else {
        ASSERT_NE(tools, nullptr) << page.Describe();
        EXPECT_EQ(tools->label, c.toolsButton);
        EXPECT_EQ(tools->disabled, !c.toolsEnabled);
        const std::optional<FoundText> hint = page.FindText(c.toolsHint);
        ASSERT_TRUE(hint.has_value()) << page.Describe();
        EXPECT_EQ(hint->colour, kMuted);
    }

    const PageItem* rebuild = page.FindItem("Build the game again");
    EXPECT_EQ(rebuild != nullptr, c.rebuildShown);
    if (rebuild != nullptr) {
        EXPECT_EQ(rebuild->disabled, !c.rebuildEnabled);
    }
    app.busy = false;
}

INSTANTIATE_TEST_SUITE_P(
    States, LauncherWindowManageTest,
    testing::Values(ManageCase{"FromSourceNotBuilt", false, false, false, "", false, 0, 0, false, "not ready yet",
                               "Remove the build files (0 MB)", false, "", false, "", false, false, false},
                    ManageCase{"FromSourceBuilt", false, true, false, "v1.2", true, 300 * kMiB, 2 * kGiB, false, "v1.2",
                               "Remove the build files (300 MB)", true, "", false, "", false, false, true},
                    ManageCase{"PackageReady", true, true, true, "", true, 0, 3 * kGiB / 2, false, "ready",
                               "Remove the build files (0 MB)", false, "Remove the old build tools (1.5 GB)", true,
                               kToolsHintInstalled, true, true, true},
                    ManageCase{"PackageReadyWhileBusy", true, true, true, "v2.0", true, 40 * kMiB, 3 * kGiB / 2, true,
                               "v2.0", "Remove the build files (40 MB)", false, "Remove the old build tools (1.5 GB)",
                               false, kToolsHintInstalled, true, false, true},
                    ManageCase{"PackageBuiltTheOldWay", true, true, false, "", true, 40 * kMiB, 3 * kGiB, false,
                               std::string("an earlier version") + kOldWay, "Remove the build files (40 MB)", false,
                               "Remove the old build tools (3.0 GB)", false, kToolsHintNotInstalled, true, false,
                               false},
                    ManageCase{"PackageBuiltTheOldWayAtAVersion", true, true, false, "v0.9", true, 0, 3 * kGiB, false,
                               std::string("v0.9") + kOldWay, "Remove the build files (0 MB)", false,
                               "Remove the old build tools (3.0 GB)", false, kToolsHintNotInstalled, true, false,
                               false},
                    ManageCase{"PackageNotBuilt", true, false, false, "", true, 0, 3 * kGiB, false, "not ready yet",
                               "Remove the build files (0 MB)", false, "Remove the old build tools (3.0 GB)", false,
                               kToolsHintNotInstalled, true, false, false},
                    ManageCase{"PackageNoOldToolsNoCopy", true, true, true, "", false, 40 * kMiB, 0, false, "ready",
                               "Remove the build files (40 MB)", true, "", false, "", true, false, true}),
    test::CaseName());

// A removal through its button: the files go, the size is read again, and the outcome waits on the
// Game page.
struct RemovalCase {
    std::string name;
    std::string button;
    std::string file;  // under the base folder
    std::string doneMessage;
    // What a removal that fails at the file says.
    std::string failure;
};

class LauncherWindowRemovalTest : public LauncherWindowTest, public testing::WithParamInterface<RemovalCase> {};

TEST_P(LauncherWindowRemovalTest, TheButtonRemovesAndTheGamePageSaysSo) {
    const RemovalCase& c = GetParam();
    Install(true);
    ChooseCopy();
    test::WriteFile(base / c.file, std::string(3 * kMiB, 'x'));
    app.buildFilesSize = app.builder->BuildFilesSize();
    app.toolsSize = app.builder->ToolsDiskUse();
    // The outcome of an earlier music import, shown on the Your music page.
    app.musicResultShown = true;
    app.section = 2;
    Draw();

    ASSERT_TRUE(page.Click(c.button + " (3 MB)", draw));
    EXPECT_FALSE(app.musicResultShown);
    ASSERT_TRUE(test::WaitUntilIdle(app));
    EXPECT_FALSE(fs::exists(base / c.file));
    Draw();
    EXPECT_EQ(page.FindItem(c.button + " (3 MB)"), nullptr) << page.Describe();

    // The Your music page no longer shows an outcome; the Game page shows this one.
    app.section = 1;
    Draw();
    EXPECT_FALSE(page.FindText(c.doneMessage).has_value()) << page.Describe();
    app.section = 0;
    Draw();
    const std::optional<FoundText> notice = page.FindText(c.doneMessage);
    ASSERT_TRUE(notice.has_value()) << page.Describe();
    EXPECT_EQ(notice->colour, kSuccess);
}

#ifndef _WIN32
TEST_P(LauncherWindowRemovalTest, AFailedRemovalShowsTheBuildersTextOnTheGamePage) {
    const RemovalCase& c = GetParam();
    Install(true);
    test::WriteFile(base / c.file, std::string(3 * kMiB, 'x'));
    const test::ImmutableFile locked(*app.platform, base / c.file);
    if (!locked.made()) GTEST_SKIP() << "the file system refuses chattr +i here";
    app.buildFilesSize = app.builder->BuildFilesSize();
    app.toolsSize = app.builder->ToolsDiskUse();
    app.section = 2;
    Draw();

    ASSERT_TRUE(page.Click(c.button + " (3 MB)", draw));
    ASSERT_TRUE(test::WaitUntilIdle(app));
    app.section = 0;
    Draw();
    const std::optional<FoundText> error = page.FindTextMatching(std::regex(c.failure + ".+"));
    ASSERT_TRUE(error.has_value()) << page.Describe();
    EXPECT_EQ(error->colour, kFailure);
    EXPECT_NE(page.FindItem("Open launcher.log"), nullptr);
}
#endif

INSTANTIATE_TEST_SUITE_P(
    Removals, LauncherWindowRemovalTest,
    testing::Values(RemovalCase{"BuildFiles", "Remove the build files", "play/" + std::string(kPackageWorkFolder) + "/game.obj",
                                "Build files removed. An update builds everything again.",
                                "Could not remove the build files: "},
                    RemovalCase{"OldTools", "Remove the old build tools", "tools/cmake/bin/cmake.exe",
                                "The old build tools are removed.", "Could not remove .*tools.cmake: "}),
    test::CaseName());

// The Your music page.

TEST_F(LauncherWindowTest, TheMusicPageShowsTheFolderAndTheImportsSuccess) {
    app.section = 1;
    app.musicFolder = temp / "My Music";
    app.musicResult = "12 songs in 3 soundtracks";
    app.musicResultShown = true;
    SetOutcome("", "Your music is ready.");
    Draw();

    const std::optional<FoundText> folder = page.FindText("Your music: " + PathToUtf8(temp / "My Music"));
    ASSERT_TRUE(folder.has_value()) << page.Describe();
    EXPECT_EQ(folder->colour, kMuted);
    const std::optional<FoundText> outcome = page.FindText("Your music is ready. 12 songs in 3 soundtracks");
    ASSERT_TRUE(outcome.has_value()) << page.Describe();
    EXPECT_EQ(outcome->colour, kSuccess);
    EXPECT_EQ(page.FindItem("Open launcher.log##music"), nullptr);
    ASSERT_NE(page.FindItem("Update my music"), nullptr);
    EXPECT_FALSE(page.FindItem("Update my music")->disabled);
    EXPECT_FALSE(page.FindItem("Choose a music folder...")->disabled);
    EXPECT_TRUE(page.FindText("After adding or changing songs: only those are converted.").has_value());

    // The Game page keeps its notice box for its own tasks' outcomes meanwhile.
    app.section = 0;
    Draw();
    EXPECT_FALSE(page.FindText("Your music is ready.").has_value()) << page.Describe();
}

TEST_F(LauncherWindowTest, WithoutAFolderOnlyTheChoiceIsOffered) {
    app.section = 1;
    Draw();
    EXPECT_NE(page.FindItem("Choose a music folder..."), nullptr) << page.Describe();
    EXPECT_EQ(page.FindItem("Update my music"), nullptr);
    EXPECT_FALSE(page.FindTextMatching(std::regex("Your music: .*")).has_value());
    EXPECT_FALSE(page.FindText("After adding or changing songs: only those are converted.").has_value());
}

TEST_F(LauncherWindowTest, WhileATaskRunsTheMusicButtonsWaitAndTheOutcomeIsHidden) {
    app.section = 1;
    app.musicFolder = temp / "My Music";
    app.musicResult = "12 songs in 3 soundtracks";
    app.musicResultShown = true;
    SetOutcome("", "Your music is ready.");
    app.busy = true;
    Draw();
    EXPECT_TRUE(page.FindItem("Choose a music folder...")->disabled);
    EXPECT_TRUE(page.FindItem("Update my music")->disabled);
    EXPECT_FALSE(page.FindTextMatching(std::regex("Your music is ready.*")).has_value());
    app.busy = false;
}

TEST_F(LauncherWindowTest, AFailedImportShowsItsErrorWithTheLogLinkAndKeepsTheFolder) {
    const fs::path gone = temp / "Music that moved";
    app.section = 1;
    app.musicFolder = gone;
    app.musicResult = "2 songs in 1 soundtracks";
    Draw();

    ASSERT_TRUE(page.Click("Update my music", draw));
    EXPECT_TRUE(app.musicResultShown);
    ASSERT_TRUE(test::WaitUntilIdle(app));
    Draw();
    const std::string error = "The music folder is not there: " + PathToUtf8(gone);
    const std::optional<FoundText> shown = page.FindText(error);
    ASSERT_TRUE(shown.has_value()) << page.Describe();
    EXPECT_EQ(shown->colour, kFailure);
    EXPECT_NE(page.FindItem("Open launcher.log##music"), nullptr);
    std::lock_guard<std::mutex> lock(app.mutex);
    EXPECT_EQ(app.musicFolder, gone);
    EXPECT_EQ(app.musicResult, "2 songs in 1 soundtracks");
}

// What the folder dialog was asked, and what it answers.
class LauncherWindowPickerTest : public LauncherWindowTest {
protected:
    void SetUp() override {
        LauncherWindowTest::SetUp();
        app.section = 1;
    }
    void TearDown() override { test::WaitUntilIdle(app); }

    test::ShellStandIn shell;
};

TEST_F(LauncherWindowPickerTest, AChosenFolderIsImported) {
    const fs::path chosen = temp / "Chosen Music";
    shell.pickerAnswer = PathToWide(chosen);
    Draw();
    ASSERT_TRUE(page.Click("Choose a music folder...", draw));
    ASSERT_EQ(shell.pickerCalls.size(), 1u);
    EXPECT_TRUE(shell.pickerCalls[0].folder);
    EXPECT_EQ(shell.pickerCalls[0].title, L"Choose a folder of your music");
    EXPECT_TRUE(app.musicResultShown);
    ASSERT_TRUE(test::WaitUntilIdle(app));
    // The folder is not there: the import of that very folder says so.
    Draw();
    EXPECT_TRUE(page.FindText("The music folder is not there: " + PathToUtf8(chosen)).has_value()) << page.Describe();
}

TEST_F(LauncherWindowPickerTest, ACancelledDialogStartsNothing) {
    Draw();
    ASSERT_TRUE(page.Click("Choose a music folder...", draw));
    ASSERT_EQ(shell.pickerCalls.size(), 1u);
    EXPECT_FALSE(app.musicResultShown);
    EXPECT_FALSE(app.busy);
    EXPECT_FALSE(app.taskThread.joinable());
}

// Adopting a chosen disc image where no hard link can be made: the copy runs as a task while the
// window draws.

class LauncherWindowAdoptTest : public LauncherWindowTest {
protected:
    void SetUp() override {
        LauncherWindowTest::SetUp();
        auto platform = std::make_unique<test::ForwardingPlatform>();
        platform->refuseHardLink = true;
        app.platform = std::move(platform);
        app.game.xbe = "default.xbe";
        app.game.releases = {{test::Sha1Of(kXbe), "Europe"}};
        test::ConnectBuilder(app, base);
        // Three blocks of the copy: the video lies 24 MB into the image.
        test::WriteDiscImage(image, test::DiscNode::Folder("", {test::DiscNode::File("default.xbe", kXbe),
                                                                 test::DiscNode::File("intro.xmv", "video", 12000)}));
        shell.pickerAnswer = PathToWide(image);
        const std::thread::id interfaceThread = std::this_thread::get_id();
        // The copy waits after its first block until the test lets it go on.
        app.builder->statusCallback = [this, interfaceThread](const Status& report) {
            OnStatus(app, report);
            if (report.title != "Copying the disc image") return;
            if (std::this_thread::get_id() == interfaceThread) {
                copiedOnInterfaceThread = true;
                return;
            }
            if (!held.exchange(true)) go.Wait();
        };
    }
    void TearDown() override {
        go.Open();
        test::WaitUntilIdle(app);
    }

    bool WaitUntilHeld() const {
        return test::WaitUntil([this] { return held.load(); }, test::kTaskDeadline);
    }

    // Chooses the image and returns once its copy waits after the first block.
    void ChooseTheImage() {
        Draw();
        ASSERT_TRUE(page.Click("Choose a disc image...", draw));
        ASSERT_FALSE(copiedOnInterfaceThread) << "the image was copied while the window waited";
        ASSERT_TRUE(WaitUntilHeld()) << "the copy did not start";
    }

    std::vector<std::string> NamesInAssets() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(app.builder->PlayFolder() / "assets", ec), end; !ec && it != end;
             it.increment(ec)) {
            names.push_back(PathToUtf8(it->path().filename()));
        }
        return names;
    }

    static constexpr char kXbe[] = "XBEH the disc's own game";
    const fs::path image = temp / "Images" / "Velmora (Europe).iso";
    test::ShellStandIn shell;
    test::Latch go;
    std::atomic<bool> held{false};
    std::atomic<bool> copiedOnInterfaceThread{false};
};

TEST_F(LauncherWindowAdoptTest, TheWindowDrawsTheCopyFrameAfterFrame) {
    ChooseTheImage();
    const std::regex detail("8 MB of 2[34] MB");
    for (int frame = 0; frame < 5; ++frame) {
        Draw(1);
        ASSERT_TRUE(page.FindText("Copying the disc image").has_value()) << page.Describe();
        ASSERT_TRUE(page.FindTextMatching(detail).has_value()) << page.Describe();
        const PageItem* stop = page.FindItem("Stop");
        ASSERT_NE(stop, nullptr);
        EXPECT_FALSE(stop->disabled);
        const PageItem* choose = page.FindItem("Choose a disc image...");
        ASSERT_NE(choose, nullptr);
        EXPECT_TRUE(choose->disabled);
    }
    EXPECT_FALSE(app.source.ok) << "the copy counts as chosen only once it is adopted";

    go.Open();
    ASSERT_TRUE(test::WaitUntilIdle(app));
    Draw();
    ASSERT_TRUE(app.source.ok) << app.source.error;
    EXPECT_EQ(app.source.source, image);
    EXPECT_EQ(app.source.region, "Europe");
    EXPECT_TRUE(page.FindText("Europe").has_value()) << page.Describe();
    EXPECT_EQ(app.builder->ReadStringSetting("game"), PathToUtf8(image));
    EXPECT_THAT(NamesInAssets(), testing::ElementsAre("Velmora (Europe).iso"));
    EXPECT_EQ(fs::file_size(app.builder->PlayFolder() / "assets" / image.filename()), fs::file_size(image));
    std::lock_guard<std::mutex> lock(app.mutex);
    EXPECT_EQ(app.error, "");
}

TEST_F(LauncherWindowAdoptTest, StopDuringTheCopyLeavesNothingChosen) {
    ChooseTheImage();
    Draw(1);
    ASSERT_TRUE(page.Click("Stop", draw));
    go.Open();
    ASSERT_TRUE(test::WaitUntilIdle(app));
    Draw();
    EXPECT_FALSE(app.source.ok);
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        EXPECT_EQ(app.error, "Stopped. Press the button again to carry on where it left off.");
    }
    EXPECT_TRUE(page.FindText("Stopped. Press the button again to carry on where it left off.").has_value())
        << page.Describe();
    EXPECT_THAT(NamesInAssets(), testing::IsEmpty()) << "no copy, whole or partial, is left";
    EXPECT_EQ(app.builder->ReadStringSetting("game"), "");
}

// A Stop pressed during an earlier task does not end the next copy at its first block.
TEST_F(LauncherWindowAdoptTest, AStopLeftFromAnEarlierTaskDoesNotStopTheCopy) {
    app.builder->cancel = true;
    ChooseTheImage();
    go.Open();
    ASSERT_TRUE(test::WaitUntilIdle(app));
    Draw();
    EXPECT_TRUE(app.source.ok) << app.source.error;
    EXPECT_THAT(NamesInAssets(), testing::ElementsAre("Velmora (Europe).iso"));
}

// The Log page, in a window of the launcher's own size.

class LauncherWindowLogTest : public LauncherWindowTest {
protected:
    LauncherWindowLogTest() : LauncherWindowTest(ImVec2(900.0f, 700.0f)) {}

    void AddLines(int from, int to) {
        for (int i = from; i < to; ++i) OnLogLine(app, "line " + std::to_string(i));
    }
    // Lines scrolled out of view are not drawn.
    bool Shows(int line) const {
        const std::string text = "line " + std::to_string(line);
        for (const TextRun& run : page.runs()) {
            if (run.text == text || run.text.rfind(text + " ", 0) == 0) return true;
        }
        return false;
    }
    // The wheel, over the log, turned by wheel towards its top.
    void ScrollToTheTop(float wheel) {
        ImGuiIO& io = ImGui::GetIO();
        io.MousePos = ImVec2(450.0f, 300.0f);
        io.MouseWheel = wheel;
        Draw(1);
        io.MouseWheel = 0.0f;
        Draw();
    }
    // The log's child window.
    static const ImGuiWindow* LogWindow() {
        for (const ImGuiWindow* window : ImGui::GetCurrentContext()->Windows) {
            if (std::string(window->Name).find("/log_") != std::string::npos) return window;
        }
        return nullptr;
    }
};

TEST_F(LauncherWindowLogTest, AViewAtTheBottomFollowsNewLines) {
    app.section = 3;
    AddLines(0, 200);
    Draw(3);
    EXPECT_TRUE(Shows(199)) << page.Describe();
    EXPECT_FALSE(Shows(0));

    AddLines(200, 250);
    Draw();
    EXPECT_TRUE(Shows(249)) << page.Describe();
    EXPECT_FALSE(Shows(199));
}

TEST_F(LauncherWindowLogTest, AViewScrolledUpStaysWhereItIs) {
    app.section = 3;
    AddLines(0, 200);
    Draw(3);
    ScrollToTheTop(1000.0f);
    ASSERT_TRUE(Shows(0)) << page.Describe();

    AddLines(200, 250);
    Draw();
    EXPECT_TRUE(Shows(0)) << page.Describe();
    EXPECT_FALSE(Shows(249));
}

// Only the lines in view are laid out: a long line far above the view widens nothing until the
// view reaches it.
TEST_F(LauncherWindowLogTest, OnlyTheLinesInViewAreLaidOut) {
    app.section = 3;
    // Shorter than the 2000 characters past which ImGui itself measures no text out of view.
    OnLogLine(app, "line 0 " + std::string(1500, 'w'));
    AddLines(1, 2000);
    Draw(3);
    const ImGuiWindow* log = LogWindow();
    ASSERT_NE(log, nullptr);
    std::vector<int> shown;
    for (int line = 0; line < 2000; ++line) {
        if (Shows(line)) shown.push_back(line);
    }
    ASSERT_FALSE(shown.empty()) << page.Describe();
    EXPECT_EQ(shown.back(), 1999);
    // The rows between the first and the last one drawn are all there, and no more than fit.
    EXPECT_EQ(shown.size(), static_cast<std::size_t>(shown.back() - shown.front() + 1));
    EXPECT_LE(shown.size() * ImGui::GetTextLineHeightWithSpacing(), log->InnerRect.GetHeight() + 2.0f * kS);
    EXPECT_EQ(log->ScrollMax.x, 0.0f) << "the long line, far out of view, was laid out";
    EXPECT_GE(log->ScrollMax.y, 1990.0f * ImGui::GetTextLineHeightWithSpacing() - log->InnerRect.GetHeight());

    ScrollToTheTop(100000.0f);
    ASSERT_TRUE(Shows(1)) << page.Describe();
    EXPECT_FALSE(Shows(1999));
    EXPECT_GT(LogWindow()->ScrollMax.x, 1000.0f) << "the long line in view widens the log";
}

// The tasks.

TEST_F(LauncherWindowTest, RebuildRemovesTheGameCodeBeforeTheBuildStarts) {
    Install(true);
    const fs::path library = app.builder->PlayFolder() / "velmora.dll";
    std::optional<bool> libraryAtFirstLine;
    app.builder->logCallback = [&](const std::string&) {
        if (!libraryAtFirstLine) libraryAtFirstLine = fs::exists(library);
    };
    std::string error;
    // No copy chosen: the package build stops at once, with its own text.
    EXPECT_FALSE(RebuildTask{app}(error));
    EXPECT_EQ(error, "Choose the game first.");
    ASSERT_TRUE(libraryAtFirstLine.has_value()) << "the build logged nothing";
    EXPECT_FALSE(*libraryAtFirstLine);
    EXPECT_TRUE(fs::exists(app.builder->GameExePath()));
}

TEST_F(LauncherWindowTest, RebuildBuildsWhenTheGameCodeCannotBeRemoved) {
    Install(false);
    // A folder with something in it where the library would be: its removal fails.
    test::WriteFile(app.builder->PlayFolder() / "velmora.dll" / "held.txt", "held");
    bool logged = false;
    app.builder->logCallback = [&](const std::string&) { logged = true; };
    std::string error;
    EXPECT_FALSE(RebuildTask{app}(error));
    EXPECT_EQ(error, "Choose the game first.");
    EXPECT_TRUE(logged);
    EXPECT_TRUE(fs::exists(app.builder->PlayFolder() / "velmora.dll" / "held.txt"));
}

}  // namespace
}  // namespace launcher
