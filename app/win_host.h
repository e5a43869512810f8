#pragma once
// The launcher as a Windows program: the Win32 window with its Direct3D 11 device as the host of
// RunLauncher.

#include <windows.h>

#include <string>

namespace launcher {

// Asks for per-monitor DPI awareness and COM, then runs the launcher with the game description text
// and this build's version; returns the process's exit code.
int RunWindowsLauncher(HINSTANCE instance, const std::string& description, const std::string& version);

}  // namespace launcher
