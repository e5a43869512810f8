#pragma once

#include <ctime>

namespace launcher {

// The local broken-down time of t; false when the system cannot convert it.
bool ToLocalTime(std::time_t t, std::tm& out);

}  // namespace launcher
