#include "platform/http_answer.h"

#include <algorithm>

namespace launcher {
namespace {

std::string RefusalText(std::uint32_t status, const std::string& url) {
    return "the server answered " + std::to_string(status) + " for " + url;
}

}  // namespace

bool TakeAnswer(std::uint32_t status, std::uint64_t contentLength, std::uint64_t offset, const std::string& url,
                std::uint64_t& total, std::uint64_t& skip, std::string& error) {
    if (status != 200 && status != 206) {
        error = RefusalText(status, url);
        return false;
    }
    total = status == 206 && contentLength > 0 ? contentLength + offset : contentLength;
    skip = status == 200 ? offset : 0;
    return true;
}

bool IsRangeNotSatisfiable(const std::string& error, const std::string& url) { return error == RefusalText(416, url); }

bool BodyToSink::Write(const unsigned char* bytes, std::uint64_t count) {
    const std::uint64_t drop = std::min(skip_, count);
    skip_ -= drop;
    if (drop == count) return true;
    return !sink_ || sink_(bytes + drop, count - drop);
}

}  // namespace launcher
