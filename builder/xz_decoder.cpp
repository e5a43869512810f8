#include "builder/xz_decoder.h"

#include <lzma.h>

namespace launcher {
namespace {

// The largest LZMA2 dictionary below the next one (1.5 GiB) is 1 GiB; the decoder's own state
// needs a little more than the dictionary.
constexpr std::uint64_t kMemoryLimit = (1ull << 30) + (1ull << 20);

XzResult FromLzma(lzma_ret result) {
    switch (result) {
        case LZMA_OK: return XzResult::Ok;
        case LZMA_STREAM_END: return XzResult::StreamEnd;
        case LZMA_UNSUPPORTED_CHECK: return XzResult::UnsupportedCheck;
        case LZMA_MEM_ERROR: return XzResult::MemError;
        case LZMA_MEMLIMIT_ERROR: return XzResult::MemlimitError;
        case LZMA_FORMAT_ERROR: return XzResult::FormatError;
        case LZMA_OPTIONS_ERROR: return XzResult::OptionsError;
        case LZMA_DATA_ERROR: return XzResult::DataError;
        case LZMA_BUF_ERROR: return XzResult::BufError;
        default: return XzResult::OptionsError;  // LZMA_PROG_ERROR and anything newer
    }
}

}  // namespace

struct XzDecoder::Stream {
    lzma_stream lzma = LZMA_STREAM_INIT;
    bool started = false;
};

XzDecoder::XzDecoder() : stream_(std::make_unique<Stream>()) {}

XzDecoder::~XzDecoder() {
    if (stream_->started) lzma_end(&stream_->lzma);
}

bool XzDecoder::Start() {
    // No LZMA_CONCATENATED: what follows the first stream is never read.
    const lzma_ret result = lzma_stream_decoder(&stream_->lzma, kMemoryLimit, 0);
    // liblzma may have allocated before failing; lzma_end frees it either way.
    stream_->started = true;
    return result == LZMA_OK;
}

XzResult XzDecoder::Run(XzBuffers& buffers) {
    lzma_stream& lzma = stream_->lzma;
    lzma.next_in = buffers.in + buffers.inPos;
    lzma.avail_in = buffers.inSize - buffers.inPos;
    lzma.next_out = buffers.out + buffers.outPos;
    lzma.avail_out = buffers.outSize - buffers.outPos;
    // Never LZMA_FINISH: with it a file cut short would read as damaged data.
    const lzma_ret result = lzma_code(&lzma, LZMA_RUN);
    buffers.inPos = buffers.inSize - lzma.avail_in;
    buffers.outPos = buffers.outSize - lzma.avail_out;
    return FromLzma(result);
}

}  // namespace launcher
