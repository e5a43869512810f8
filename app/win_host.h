#pragma once
// The launcher as a Windows program: the Win32 window with its Direct3D 11 device as the host of
// RunLauncher.

#include <windows.h>

#include <memory>
#include <string>

#include "app/launcher_host.h"

namespace launcher {

// The Windows host on its own, for the tests of its window and device.
std::unique_ptr<LauncherHost> MakeWindowsHost(HINSTANCE instance);

// Asks for per-monitor DPI awareness and COM, then runs the launcher with the game description text
// and this build's version; returns the process's exit code.
int RunWindowsLauncher(HINSTANCE instance, const std::string& description, const std::string& version);

}  // namespace launcher
