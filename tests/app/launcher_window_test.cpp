// The launcher's window drawn headless from the App's state.
#include "app/launcher_window.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include "app/theme.h"
#include "tests/app/connected_app.h"
#include "tests/support/headless_imgui.h"
#include "tests/support/temp_folder.h"

namespace launcher {
namespace {

TEST(LauncherWindowTest, EverySectionDraws) {
    test::TempFolder temp;
    App app;
    app.game.title = "Velmora";
    app.game.music = true;
    test::ConnectBuilder(app, temp / "Velmora");
    test::HeadlessImGui ui;
    ApplyStyle(1.0f);
    ImFont* heading = LoadFonts(test::WineFontsFolder(), 1.0f);
    ui.BuildFonts();
    for (int section = 0; section < 4; ++section) {
        app.section = section;
        for (int frame = 0; frame < 2; ++frame) {
            ImGui::NewFrame();
            LauncherWindow(app, nullptr, heading);
            ImGui::Render();
        }
    }
    app.busy = true;
    ImGui::NewFrame();
    LauncherWindow(app, nullptr, heading);
    ImGui::Render();
    app.busy = false;
}

}  // namespace
}  // namespace launcher
