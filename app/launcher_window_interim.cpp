// Stands in for the launcher's window until the real one is merged.
#include "app/launcher_window.h"

namespace launcher {

void LauncherWindow(App& app, WindowHandle, ImFont* headingFont) {
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->WorkPos);
    ImGui::SetNextWindowSize(viewport->WorkSize);
    ImGui::Begin("launcher", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings);
    ImGui::PushFont(headingFont);
    ImGui::TextUnformatted(app.game.title.c_str());
    ImGui::PopFont();
    ImGui::End();
}

}  // namespace launcher
