#pragma once
// .xz files for tests, made with liblzma's encoder.

#include <cstdint>
#include <string>

namespace launcher::test {

enum class XzCheck { None, Crc32, Crc64, Sha256 };

struct XzOptions {
    XzCheck check = XzCheck::Crc64;
    std::uint32_t dictionarySize = 1 << 20;
    bool x86 = false;  // the x86 branch filter before LZMA2
};

// One .xz stream holding data in one block.
std::string XzCompress(const std::string& data, const XzOptions& options = {});

// The stream with the dictionary size byte of its first block header (one LZMA2 filter) replaced,
// and the header's CRC32 made right again. 36 stands for 1 GiB, 37 for 1.5 GiB.
std::string WithDictionaryByte(std::string xz, std::uint8_t byte);

}  // namespace launcher::test
