#include "builder/leading_number.h"

#include <charconv>
#include <cmath>

namespace launcher {
namespace {

bool IsWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

bool ReadLeadingNumber(const std::string& text, size_t start, double& value) {
    value = 0.0;
    while (start < text.size() && IsWhiteSpace(text[start])) ++start;
    if (start + 1 < text.size() && text[start] == '+' && text[start + 1] != '-') ++start;
    if (start >= text.size()) return true;
    double number = 0.0;
    const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), number);
    (void)end;
    if (error == std::errc::invalid_argument) return true;
    if (error != std::errc() || !std::isfinite(number)) return false;
    value = number;
    return true;
}

}  // namespace launcher
