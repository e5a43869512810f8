#pragma once
// Splits a program's output into lines as it arrives: each CR and each LF ends a line, empty lines
// are never reported, and the bytes pass as they are. A line keeps its first kMaxLine bytes and the
// rest of it is dropped, so that a program printing without line ends cannot fill the memory.

#include <string>

#include "platform/platform.h"

namespace launcher {

class LineSplitter {
public:
    static constexpr size_t kMaxLine = 64 * 1024;

    explicit LineSplitter(const LineCallback& onLine) : onLine_(onLine) {}

    void Feed(const char* bytes, size_t count);
    // The last line, when the output did not end with a line end.
    void Finish();

private:
    void Emit();

    const LineCallback& onLine_;
    std::string line_;
};

}  // namespace launcher
