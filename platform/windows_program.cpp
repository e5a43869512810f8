#include "platform/windows_program.h"

#include <cstdint>
#include <fstream>

#include "platform/little_endian.h"

namespace launcher {
namespace {

constexpr std::uint32_t kNtHeaderOffsetAt = 0x3C;
constexpr std::uint16_t kMachineX64 = 0x8664;
constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kDll = 0x2000;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
// Signature (4), machine (2) ... characteristics at 22, optional-header magic at 24.
constexpr std::uint64_t kNtHeaderBytesRead = 26;

bool ReadAt(std::ifstream& in, std::uint64_t offset, unsigned char* bytes, std::size_t count) {
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count));
    return in.gcount() == static_cast<std::streamsize>(count);
}

}  // namespace

bool IsWindowsX64Program(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    unsigned char dos[kNtHeaderOffsetAt + 4];
    if (!ReadAt(in, 0, dos, sizeof dos)) return false;
    if (dos[0] != 'M' || dos[1] != 'Z') return false;
    const std::uint32_t ntOffset = ReadLe32(dos + kNtHeaderOffsetAt);
    unsigned char nt[kNtHeaderBytesRead];
    if (!ReadAt(in, ntOffset, nt, sizeof nt)) return false;
    if (nt[0] != 'P' || nt[1] != 'E' || nt[2] != 0 || nt[3] != 0) return false;
    if (ReadLe16(nt + 4) != kMachineX64) return false;
    const std::uint16_t characteristics = ReadLe16(nt + 22);
    if ((characteristics & kExecutableImage) == 0 || (characteristics & kDll) != 0) return false;
    return ReadLe16(nt + 24) == kPe32PlusMagic;
}

}  // namespace launcher
