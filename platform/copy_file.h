#pragma once

#include <filesystem>
#include <string>

namespace launcher {

// Copies a file over what stands at to, or to a new file there. MinGW's std::filesystem::copy_file
// takes any two files of one drive for the same file (its stat has no file index) and so refuses
// to replace: Windows copies with its own call. On failure systemText receives the system's words.
bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string& systemText);

}  // namespace launcher
