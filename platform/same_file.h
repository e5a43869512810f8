#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>

namespace launcher {

// Whether two paths name one file or folder, by what the system says the file is: the volume and
// the file's id on Windows (so two drive letters or a junction reaching one folder count as one),
// the device and inode elsewhere. Any error, a missing path included, counts as "not the same".
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

#ifdef _WIN32
// The 128-bit id of an open file (FileIdInfo: exact on ReFS and Dev Drive, whose ids need more than
// 64 bits) and its volume; false when the file system cannot tell.
using FileIdQuery = std::function<bool(void* file, std::uint64_t& volume, std::array<std::uint8_t, 16>& id)>;

// SameFile with the 128-bit query given; where it fails, the volume serial and 64-bit file index of
// the older query stand in. SameFile asks the system's FileIdInfo.
bool SameFileBy(const std::filesystem::path& a, const std::filesystem::path& b, const FileIdQuery& query);
#endif

}  // namespace launcher
