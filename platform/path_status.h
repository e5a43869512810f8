#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace launcher {

enum class PathPresence { Present, Absent, Unknown };

// Whether anything stands at path. Absent only when the system says that nothing is there (or that
// a folder on the way is missing or is no folder); any other failure is Unknown, with the system's
// code (a Win32 code on Windows, an errno value elsewhere) in code.
PathPresence QueryPresence(const std::filesystem::path& path, std::uint32_t& code);

// The name, in UTF-8, under which the file system keeps what folder/name opens. On Windows that is
// the long name behind a short (8.3) name such as SCREEN~1. The name itself when nothing stands
// there, and elsewhere, where a file has no other name.
std::string StoredName(const std::filesystem::path& folder, const std::string& name);

}  // namespace launcher
