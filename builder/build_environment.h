#pragma once
// The pieces of the build environment: picking a version folder and joining folders into a list.

#include <filesystem>
#include <string>
#include <vector>

namespace launcher {

// The subfolder of folder (links followed) with the greatest name in path order, which is plain
// character order, not version order: "14.9.1" comes after "14.40.33807". Empty when there is none
// or folder cannot be listed.
std::filesystem::path NewestSubdirectory(const std::filesystem::path& folder);

// The paths as UTF-8, separated by separator; an empty text adds no separator before it.
std::string JoinPathList(char separator, const std::vector<std::filesystem::path>& paths);

}  // namespace launcher
