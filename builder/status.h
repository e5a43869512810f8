#pragma once

#include <string>

namespace launcher {

// What a running task shows: a headline, a detail line and a fraction (0 to 1, or -1 for no bar).
struct Status {
    std::string title;
    std::string detail;
    double fraction = -1.0;
};

}  // namespace launcher
