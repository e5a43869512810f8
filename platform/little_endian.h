#pragma once
// Numbers stored least significant byte first, as the Xbox and Windows file formats store them:
// read from bytes, and written into a string of bytes.

#include <cstddef>
#include <cstdint>
#include <string>

namespace launcher {

inline std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint64_t ReadLe64(const std::uint8_t* p) {
    return ReadLe32(p) | static_cast<std::uint64_t>(ReadLe32(p + 4)) << 32;
}

// Writers over bytes held in a string: in place at an offset the string already holds, or appended.
inline void WriteLe16(std::string& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>(value >> 8);
}

inline void WriteLe32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline void AppendLe16(std::string& bytes, std::uint16_t value) {
    bytes += static_cast<char>(value & 0xFF);
    bytes += static_cast<char>(value >> 8);
}

inline void AppendLe32(std::string& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace launcher
