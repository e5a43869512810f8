#pragma once

#include <filesystem>
#include <string>

namespace launcher {

// Moves a file into place, replacing what stands there (across volumes too). On failure
// systemText receives the system's words for the reason.
bool MoveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string& systemText);

}  // namespace launcher
