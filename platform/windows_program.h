#pragma once

#include <filesystem>

namespace launcher {

// Whether the file is a Windows x86-64 executable program: an MZ header whose e_lfanew points inside
// the file at a "PE\0\0" header for machine 0x8664, marked executable and not a DLL, with a PE32+
// optional header.
bool IsWindowsX64Program(const std::filesystem::path& file);

}  // namespace launcher
