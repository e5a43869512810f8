#pragma once
// One .xz stream decoder over liblzma. Its results are numbered as the extractor's messages show
// them, the numbers of XZ Embedded's xz_ret.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace launcher {

enum class XzResult : int {
    Ok = 0,
    StreamEnd = 1,
    UnsupportedCheck = 2,
    MemError = 3,
    MemlimitError = 4,
    FormatError = 5,
    OptionsError = 6,
    DataError = 7,
    BufError = 8,
};

// The caller's input and output; Run moves inPos and outPos.
struct XzBuffers {
    const std::uint8_t* in = nullptr;
    std::size_t inPos = 0;
    std::size_t inSize = 0;
    std::uint8_t* out = nullptr;
    std::size_t outPos = 0;
    std::size_t outSize = 0;
};

// Decodes the first stream of a file only, with dictionaries of up to 1 GiB. Every check type is
// verified (SHA-256 too).
class XzDecoder {
public:
    XzDecoder();
    ~XzDecoder();
    XzDecoder(const XzDecoder&) = delete;
    XzDecoder& operator=(const XzDecoder&) = delete;

    // False when liblzma cannot make the decoder (out of memory).
    bool Start();
    // Decodes what it can of the input into the output's free space. Ok means more is to come.
    // Input that runs out before the stream ends is not an error here: the caller tells a cut
    // file by the end of its input.
    XzResult Run(XzBuffers& buffers);

private:
    struct Stream;
    std::unique_ptr<Stream> stream_;
};

}  // namespace launcher
