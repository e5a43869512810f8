// The window drawn on the interface thread while a music import on the task thread stores the folder
// and the result it shows; the ThreadSanitizer build runs this for races.
#include <gtest/gtest.h>
#include <imgui.h>

#include <chrono>
#include <optional>
#include <string>

#include "app/launcher_window.h"
#include "app/page_tasks.h"
#include "app/theme.h"
#include "platform/text.h"
#include "tests/app/connected_app.h"
#include "tests/support/expected_palette.h"
#include "tests/support/fake_tools.h"
#include "tests/support/page_reader.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

TEST(LauncherWindowThreadsTest, TheMusicPageDrawsWhileTheImportStoresItsFolder) {
    test::TempFolder temp;
    App app;
    app.game.title = "Velmora";
    app.game.music = true;
    test::ConnectBuilder(app, temp / "Velmora");
    app.section = 1;
    app.musicFolder = temp / "old music";

    // The fake ffprobe and ffmpeg first on PATH, and a library of three songs for them.
    const fs::path fakes = temp / "fakes";
    for (const char* name : {"ffprobe", "ffmpeg"}) test::PlaceFakeTool(fakes / name);
    const std::string savedPath = app.platform->GetEnv("PATH");
    test::SetTestEnv("PATH", PathToUtf8(fakes) + app.platform->PathListSeparator() + savedPath);
    const fs::path library = temp / "library";
    for (const char* song : {"Rock/one.mp3", "Rock/two.mp3", "Calm/three.mp3"}) {
        const fs::path file = library / song;
        test::WriteFile(file, "the source of " + std::string(song));
        test::WriteFile(fs::path(file) += ".probe", "duration=1.5\n");
        test::WriteFile(fs::path(file) += ".converted", "wma of " + std::string(song));
    }

    test::PageReader page;
    ApplyStyle(1.0f);
    ImFont* heading = LoadFonts(test::WineFontsFolder(), 1.0f);
    page.BuildFonts();
    const auto draw = [&] { LauncherWindow(app, nullptr, heading); };
    page.Frames(2, draw);

    StartMusicImport(app, library);
    int busyFrames = 0;
    const auto until = std::chrono::steady_clock::now() + test::kTaskDeadline;
    while (app.busy && std::chrono::steady_clock::now() < until) {
        page.Frame(draw);
        ++busyFrames;
    }
    test::SetTestEnv("PATH", savedPath);
    ASSERT_FALSE(app.busy) << "the import did not end";
    EXPECT_GT(busyFrames, 0);

    page.Frames(2, draw);
    EXPECT_TRUE(page.FindText("Your music: " + PathToUtf8(library)).has_value()) << page.Describe();
    const std::optional<test::FoundText> outcome = page.FindText("Your music is ready. 3 songs in 2 soundtracks");
    ASSERT_TRUE(outcome.has_value()) << page.Describe();
    EXPECT_EQ(outcome->colour, test::expected_palette::kSuccess);
    std::lock_guard<std::mutex> lock(app.mutex);
    EXPECT_EQ(app.error, "");
    EXPECT_EQ(app.notice, "Your music is ready.");
    EXPECT_EQ(app.musicFolder, library);
    EXPECT_EQ(app.musicResult, "3 songs in 2 soundtracks");
}

}  // namespace
}  // namespace launcher
