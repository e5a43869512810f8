#pragma once

#include <filesystem>

namespace launcher {

// Whether two paths name one file or folder, by what the system says the file is: the volume and
// the file's index on Windows (so two drive letters or a junction reaching one folder count as
// one), the device and inode elsewhere. Any error, a missing path included, counts as "not the same".
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace launcher
