#pragma once

#include <cstdio>
#include <filesystem>

namespace launcher {

// fopen that lets other programs read and write the file while it is open; null on failure.
std::FILE* OpenSharedFile(const std::filesystem::path& path, const char* mode);

}  // namespace launcher
