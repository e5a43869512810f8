#pragma once
// The rules both HTTP clients follow once the final answer's head has arrived, and the body's way
// to the caller's sink.

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace launcher {

// Whether the answer is one to take (200 or 206). When it is, total is the full size of the
// resource where the answer tells it (a 206 with a length: the length plus the offset asked for; a
// 200: its length; no length: 0), and skip is how many leading bytes to drop: a 200 to a request
// from an offset comes from byte 0, as the server ignored the range.
bool TakeAnswer(std::uint32_t status, std::uint64_t contentLength, std::uint64_t offset, const std::string& url,
                std::uint64_t& total, std::uint64_t& skip, std::string& error);

// Whether a Get failed because nothing lies at or past the offset asked for (416).
bool IsRangeNotSatisfiable(const std::string& error, const std::string& url);

// Hands the body on to the sink, less the bytes to skip. False once the sink asks to stop.
class BodyToSink {
public:
    BodyToSink(const DataSink& sink, std::uint64_t skip) : sink_(sink), skip_(skip) {}
    bool Write(const unsigned char* bytes, std::uint64_t count);

private:
    const DataSink& sink_;
    std::uint64_t skip_;
};

}  // namespace launcher
