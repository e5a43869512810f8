#pragma once
// The numbers that tools print at the start of their progress texts.

#include <string>

namespace launcher {

// Reads the decimal number that begins at text[start] (white space and a sign before it allowed)
// in the "C" rules whatever the locale; no hexadecimal form. No number there reads as 0. Returns
// false, value 0, when the number is not finite: "inf", "nan", or beyond a double's range.
bool ReadLeadingNumber(const std::string& text, size_t start, double& value);

}  // namespace launcher
