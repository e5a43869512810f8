#pragma once
// Splits a program's output into lines as it arrives: each CR and each LF ends a line, empty lines
// are never reported, and the bytes pass as they are.

#include <string>

#include "platform/platform.h"

namespace launcher {

class LineSplitter {
public:
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
