#include <set>

#include "builder/visual_studio.h"

namespace launcher {
namespace {

constexpr size_t kHexDigits = 32;

bool IsLowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

}  // namespace

// The package's tables are not parsed: a cabinet's name lies whole somewhere in its bytes.
std::vector<std::string> MsiCabNames(std::string_view bytes) {
    std::set<std::string> names;
    for (size_t at = bytes.find(".cab", kHexDigits); at != std::string_view::npos; at = bytes.find(".cab", at + 1)) {
        const std::string_view digits = bytes.substr(at - kHexDigits, kHexDigits);
        bool hex = true;
        for (const char c : digits) hex = hex && IsLowerHexDigit(c);
        if (hex) names.emplace(bytes.substr(at - kHexDigits, kHexDigits + 4));
    }
    return {names.begin(), names.end()};
}

}  // namespace launcher
