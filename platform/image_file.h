#pragma once
// Positioned reads of a disc image file: every read names its position, so several threads can
// read one file at once.

#include <cstdint>
#include <memory>
#include <string>

namespace launcher {

struct ReadPass {
    std::uint32_t bytes = 0;
    unsigned long error = 0;  // the host's error code; 0 when the read did not fail
};

class PositionedFile {
public:
    virtual ~PositionedFile() = default;
    // One read of up to count bytes at offset. The end of the file is no error: 0 bytes, error 0.
    virtual ReadPass Read(std::uint64_t offset, void* buffer, std::uint32_t count) = 0;
    virtual std::uint64_t Size() = 0;
};

// Opens an image file for reading, shared with other readers only (so not while it is still being
// written). Null when it cannot be opened.
std::unique_ptr<PositionedFile> OpenImageFile(const std::wstring& path);

}  // namespace launcher
