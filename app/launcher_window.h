#pragma once
// The launcher's whole interface, drawn once a frame between the frame's start and its render:
// the header, the section list, the chosen page and the bottom bar with the running task.

#include <imgui.h>

#include "app/app.h"
#include "app/shell.h"

namespace launcher {

// window owns the file dialogs the pages open; headingFont draws the titles.
void LauncherWindow(App& app, WindowHandle window, ImFont* headingFont);

}  // namespace launcher
