#pragma once

#include <cstdint>
#include <filesystem>

namespace launcher {

enum class PathPresence { Present, Absent, Unknown };

// Whether anything stands at path. Absent only when the system says that nothing is there (or that
// a folder on the way is missing or is no folder); any other failure is Unknown, with the system's
// code (a Win32 code on Windows, an errno value elsewhere) in code.
PathPresence QueryPresence(const std::filesystem::path& path, std::uint32_t& code);

}  // namespace launcher
