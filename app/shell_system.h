#pragma once
// What each system provides to the shell helpers (app/shell.cpp holds the portable part).

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/shell.h"

namespace launcher {

// The file-open dialog itself (PickPath's arguments and result).
std::wstring ShowPathDialog(WindowHandle owner, bool folder, const wchar_t* title);
void OpenWithShell(const std::wstring& text);
// Bytes available to the caller on the drive that holds an existing path; 0 when unreadable.
std::uint64_t AvailableBytes(const std::filesystem::path& existing);

}  // namespace launcher
