#pragma once

#include <cstdint>
#include <filesystem>

namespace launcher {

// Gives a file the execute bits of a Unix mode (as archives record it). Windows has no execute
// bits: there it does nothing. Errors are ignored.
void AddExecuteBits(const std::filesystem::path& file, std::uint32_t unixMode);

}  // namespace launcher
