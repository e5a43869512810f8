#include "builder/tar_xz_extract.h"

#include <fstream>
#include <limits>
#include <vector>

#include "builder/tar_reader.h"
#include "builder/xz_decoder.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr std::size_t kInputSize = 0x100000;
constexpr std::size_t kOutputSize = 0x400000;

}  // namespace

bool ExtractTarXz(const fs::path& archive, const fs::path& destination, const EntryRename& rename,
                  const ExtractProgress& progress, const std::atomic<bool>* cancel, std::string& error) {
    const std::string archiveText = PathToUtf8(archive);
    std::error_code ec;
    std::ifstream in;
    // A folder opens as a stream on Linux and fails only at the first read.
    if (fs::is_regular_file(archive, ec)) in.open(archive, std::ios::binary);
    if (!in.is_open()) {
        error = "cannot open " + archiveText;
        return false;
    }
    const std::uintmax_t size = fs::file_size(archive, ec);
    const std::uint64_t total = ec ? std::numeric_limits<std::uint64_t>::max() : size;

    XzDecoder decoder;
    if (!decoder.Start()) {
        error = "out of memory for the xz decoder";
        return false;
    }
    TarState tar;
    tar.destination = destination;
    tar.rename = rename;
    tar.archiveText = archiveText;
    std::vector<std::uint8_t> input(kInputSize);
    std::vector<std::uint8_t> output(kOutputSize);
    XzBuffers buffers;
    buffers.in = input.data();
    buffers.out = output.data();
    buffers.outSize = output.size();

    std::uint64_t done = 0;
    std::size_t lastRead = 0;
    for (;;) {
        if (cancel != nullptr && cancel->load()) {
            error = "cancelled";
            return false;
        }
        if (buffers.inPos == buffers.inSize) {
            in.read(reinterpret_cast<char*>(input.data()), static_cast<std::streamsize>(input.size()));
            lastRead = static_cast<std::size_t>(in.gcount());
            buffers.inPos = 0;
            buffers.inSize = lastRead;
            done += lastRead;
            if (progress) progress(done, total);
        }
        const XzResult result = decoder.Run(buffers);
        if (!FeedTar(tar, reinterpret_cast<const char*>(output.data()), buffers.outPos, error)) return false;
        buffers.outPos = 0;
        if (result == XzResult::StreamEnd) return FinishTar(tar, error);
        if (result != XzResult::Ok && result != XzResult::UnsupportedCheck) {
            error = "the xz data is damaged (" + std::to_string(static_cast<int>(result)) + ") in " + archiveText;
            return false;
        }
        if (lastRead == 0 && buffers.inPos == buffers.inSize && in.fail()) {
            error = "the xz file ends early: " + archiveText;
            return false;
        }
    }
}

}  // namespace launcher
