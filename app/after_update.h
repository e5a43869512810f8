#pragma once
// What the start-up and the main loop do about a self-update: clear away the replaced executables
// and start the new one.

#include <filesystem>

#include "app/app.h"

namespace launcher {

// Removes "<exe>.old" and every "<exe>.<n>.old" file beside the executable; a file that cannot go
// (an older launcher still ending) stays for the next start.
void RemoveReplacedExecutables(const std::filesystem::path& executable);

// When a new executable is in place and no task runs, starts it from its folder; true means the
// loop ends. A start that fails clears restartPending and shows why in the App's error.
bool RestartAfterUpdate(App& app, const std::filesystem::path& executable);

}  // namespace launcher
