#include "tests/support/xz_file.h"

#include <lzma.h>

#include <stdexcept>
#include <vector>

namespace launcher::test {
namespace {

constexpr std::size_t kStreamHeaderSize = 12;

lzma_check CheckOf(XzCheck check) {
    switch (check) {
        case XzCheck::None: return LZMA_CHECK_NONE;
        case XzCheck::Crc32: return LZMA_CHECK_CRC32;
        case XzCheck::Crc64: return LZMA_CHECK_CRC64;
        case XzCheck::Sha256: return LZMA_CHECK_SHA256;
    }
    return LZMA_CHECK_CRC64;
}

}  // namespace

std::string XzCompress(const std::string& data, const XzOptions& options) {
    lzma_options_lzma lzma;
    if (lzma_lzma_preset(&lzma, 6) != 0) throw std::runtime_error("no LZMA preset");
    lzma.dict_size = options.dictionarySize;
    std::vector<lzma_filter> filters;
    if (options.x86) filters.push_back({LZMA_FILTER_X86, nullptr});
    filters.push_back({LZMA_FILTER_LZMA2, &lzma});
    filters.push_back({LZMA_VLI_UNKNOWN, nullptr});

    std::string out(lzma_stream_buffer_bound(data.size()), '\0');
    size_t written = 0;
    const lzma_ret result = lzma_stream_buffer_encode(
        filters.data(), CheckOf(options.check), nullptr, reinterpret_cast<const std::uint8_t*>(data.data()),
        data.size(), reinterpret_cast<std::uint8_t*>(out.data()), &written, out.size());
    if (result != LZMA_OK) throw std::runtime_error("xz encoding failed: " + std::to_string(result));
    out.resize(written);
    return out;
}

std::string WithDictionaryByte(std::string xz, std::uint8_t byte) {
    // Block header: its size byte, flags (the filter count, whether sizes follow), the sizes, then
    // per filter its id, the size of its properties and the properties; padding; a CRC32.
    const std::size_t start = kStreamHeaderSize;
    const std::size_t size = (static_cast<std::uint8_t>(xz.at(start)) + 1) * 4;
    const auto flags = static_cast<std::uint8_t>(xz.at(start + 1));
    std::size_t at = start + 2;
    const auto skipNumber = [&] {
        while (static_cast<std::uint8_t>(xz.at(at++)) & 0x80) {
        }
    };
    if (flags & 0x40) skipNumber();
    if (flags & 0x80) skipNumber();
    if ((flags & 0x03) != 0 || xz.at(at) != 0x21 || xz.at(at + 1) != 1) {
        throw std::runtime_error("not a block header with a single LZMA2 filter");
    }
    xz[at + 2] = static_cast<char>(byte);
    const std::uint32_t crc = lzma_crc32(reinterpret_cast<const std::uint8_t*>(xz.data() + start), size - 4, 0);
    for (int i = 0; i < 4; ++i) xz[start + size - 4 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    return xz;
}

}  // namespace launcher::test
