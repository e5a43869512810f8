#pragma once
// Numbers stored least significant byte first, as the Xbox and Windows file formats store them.

#include <cstdint>

namespace launcher {

inline std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t ReadLe64(const std::uint8_t* p) {
    return ReadLe32(p) | static_cast<std::uint64_t>(ReadLe32(p + 4)) << 32;
}

}  // namespace launcher
