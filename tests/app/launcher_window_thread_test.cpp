// The window drawn on the interface thread while a music import on the task thread stores the folder
// and the result it shows; the ThreadSanitizer build runs this for races.
#include <gtest/gtest.h>
#include <imgui.h>

#include <chrono>
#include <string>

#include "app/launcher_window.h"
#include "app/page_tasks.h"
#include "app/theme.h"
#include "platform/text.h"
#include "tests/app/connected_app.h"
#include "tests/support/headless_imgui.h"
#include "tests/support/fake_tools.h"
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

    test::HeadlessImGui ui;
    ApplyStyle(1.0f);
    ImFont* heading = LoadFonts(test::WineFontsFolder(), 1.0f);
    ui.BuildFonts();
    const auto frame = [&] {
        ImGui::NewFrame();
        LauncherWindow(app, nullptr, heading);
        ImGui::Render();
    };
    frame();

    StartMusicImport(app, library);
    int busyFrames = 0;
    const auto until = std::chrono::steady_clock::now() + test::kTaskDeadline;
    while (app.busy && std::chrono::steady_clock::now() < until) {
        frame();
        ++busyFrames;
    }
    test::SetTestEnv("PATH", savedPath);
    ASSERT_FALSE(app.busy) << "the import did not end";
    frame();

    std::lock_guard<std::mutex> lock(app.mutex);
    EXPECT_EQ(app.error, "");
    EXPECT_EQ(app.notice, "Your music is ready.");
    EXPECT_EQ(app.musicFolder, library);
    EXPECT_EQ(app.musicResult, "3 songs in 2 soundtracks");
    EXPECT_GT(busyFrames, 0);
}

}  // namespace
}  // namespace launcher
