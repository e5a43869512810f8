#include "builder/archive_path.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

// Win32 opens the device, not a file, for these names whatever follows the first '.', and it drops
// the blanks before that dot ("NUL .txt" is the null device too).
bool IsDeviceName(std::string_view component) {
    std::string_view stem = component.substr(0, component.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    const std::string lower = AsciiLower(std::string(stem));
    static constexpr std::array<std::string_view, 4> kPlain = {"con", "prn", "aux", "nul"};
    for (std::string_view device : kPlain) {
        if (lower == device) return true;
    }
    return lower.size() == 4 && (lower.compare(0, 3, "com") == 0 || lower.compare(0, 3, "lpt") == 0) &&
           lower[3] >= '1' && lower[3] <= '9';
}

}  // namespace

std::vector<std::string_view> NamedPieces(std::string_view name, bool backslashSeparates) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/' || (backslashSeparates && name[i] == '\\')) {
            const std::string_view piece = name.substr(start, i - start);
            if (!piece.empty() && piece != ".") pieces.push_back(piece);
            start = i + 1;
        }
    }
    return pieces;
}

bool IsSafeRelativePath(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
    if (name.find(':') != std::string::npos) return false;
    // The system ends a name at a NUL and writes none of the other control bytes as given.
    if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
        return false;
    }
    const std::vector<std::string_view> pieces = NamedPieces(name);
    for (std::string_view piece : pieces) {
        if (piece == "..") return false;
        // Win32 drops trailing dots and blanks, so "hdd./x" would be written to hdd/x.
        if (piece.back() == '.' || piece.back() == ' ') return false;
        if (IsDeviceName(piece)) return false;
    }
    // No pieces: the name stands for the destination itself.
    return !pieces.empty();
}

std::string EscapedEntryName(const std::string& name) {
    std::string escaped;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

fs::path JoinPath(const fs::path& destination, const std::string& name) {
    fs::path joined = destination;
    for (std::string_view piece : NamedPieces(name)) joined /= Utf8Path(std::string(piece));
    return joined;
}

}  // namespace launcher
