#include "platform/http_answer.h"

#include <algorithm>

namespace launcher {

bool TakeAnswer(std::uint32_t status, std::uint64_t contentLength, std::uint64_t offset, const std::string& url,
                std::uint64_t& total, std::uint64_t& skip, std::string& error) {
    if (status != 200 && status != 206) {
        error = "the server answered " + std::to_string(status) + " for " + url;
        return false;
    }
    total = status == 206 && contentLength > 0 ? contentLength + offset : contentLength;
    skip = status == 200 ? offset : 0;
    return true;
}

bool BodyToSink::Write(const unsigned char* bytes, std::uint64_t count) {
    const std::uint64_t drop = std::min(skip_, count);
    skip_ -= drop;
    if (drop == count) return true;
    return !sink_ || sink_(bytes + drop, count - drop);
}

}  // namespace launcher
