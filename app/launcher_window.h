#pragma once
// The launcher's whole window, drawn once a frame from the application state.

#include <imgui.h>

#include "app/app.h"
#include "app/shell.h"

namespace launcher {

void LauncherWindow(App& app, WindowHandle window, ImFont* headingFont);

}  // namespace launcher
