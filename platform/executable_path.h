#pragma once

#include <filesystem>

namespace launcher {

// The full path of the running program's own executable file.
std::filesystem::path ExecutablePath();

}  // namespace launcher
