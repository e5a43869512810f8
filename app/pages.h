#pragma once
// The pages LauncherWindow draws in its page area besides the Game page, and what a frame copies
// from the App before it draws them.

#include <imgui.h>

#include <filesystem>
#include <string>

#include "app/app.h"
#include "app/shell.h"
#include "builder/status.h"

namespace launcher {

// Taken under App.mutex (busy with it) at the start of a frame, so the whole frame draws one moment
// of a task that the task thread keeps changing.
struct FrameCopy {
    Status status;
    std::string error;
    std::string notice;
    std::filesystem::path musicFolder;
    bool busy = false;
};

void MusicPage(App& app, WindowHandle window, ImFont* headingFont, const FrameCopy& frame);
void ManagePage(App& app, ImFont* headingFont, const FrameCopy& frame);
void LogPage(App& app);

}  // namespace launcher
