#pragma once

#include <imgui.h>

#include <string>

#include "app/app.h"
#include "app/shell.h"
#include "builder/status.h"

namespace launcher {

void GamePage(App& app, WindowHandle window, ImFont* headingFont, const Status& status, const std::string& error,
              const std::string& notice);

}  // namespace launcher
