#pragma once
// The operating system's file picker, opening with the shell and free disk space, for the pages.
// The Windows versions expect COM initialised apartment-threaded on the calling thread. Elsewhere
// they are stand-ins: no picker, nothing opens, free space comes from the standard library.

#include <cstdint>
#include <filesystem>
#include <string>

namespace launcher {

// The owner window of a dialog (an HWND on Windows).
using WindowHandle = void*;

// The standard file-open dialog, for a file or a folder (title: the folder dialog's, or null for
// the usual one). The chosen path, or empty when the user cancels or anything fails.
std::wstring PickPath(WindowHandle owner, bool folder, const wchar_t* title);

// Opens a path or a web address (UTF-8) with the shell's "open" verb; a failure goes unnoticed.
void ShellOpen(const std::string& text);
void ShellOpenW(const std::filesystem::path& path);

// Bytes available to the caller on the drive that holds path, or on the drive of its nearest
// existing ancestor; 0 when it cannot be read.
std::uint64_t FreeSpace(const std::filesystem::path& path);

// While an opener is set, ShellOpen and ShellOpenW hand it their text (a path as UTF-8) instead of
// the shell, so that tests see what would open. The launcher sets none.
using ShellOpener = void (*)(const std::string& text);
void SetShellOpener(ShellOpener opener);

// While a picker is set, PickPath returns its answer to the same arguments instead of showing the
// dialog, so that tests choose the path and see what was asked. The launcher sets none.
using PathPicker = std::wstring (*)(WindowHandle owner, bool folder, const wchar_t* title);
void SetPathPicker(PathPicker picker);

}  // namespace launcher
