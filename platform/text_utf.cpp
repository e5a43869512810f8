// The conversions for systems whose wide characters are whole code points. Bad input is replaced
// the way Windows does it: one U+FFFD for each maximal ill-formed subsequence.
#include <cstdint>
#include <system_error>

#include "platform/text.h"

namespace launcher {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at text[pos]; advances pos past what it consumed. Returns false
// for an ill-formed sequence, having consumed its maximal subpart.
bool DecodeOne(const std::string& text, size_t& pos, char32_t& out) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos++);
    if (lead < 0x80) {
        out = lead;
        return true;
    }
    int trailing;
    char32_t value;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return false;
    }
    for (int i = 0; i < trailing; ++i) {
        if (pos >= text.size()) return false;
        const unsigned char next = byte(pos);
        const unsigned char min = i == 0 ? low : 0x80;
        const unsigned char max = i == 0 ? high : 0xBF;
        if (next < min || next > max) return false;
        value = (value << 6) | (next & 0x3F);
        ++pos;
    }
    out = value;
    return true;
}

void Encode(char32_t c, std::string& out) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::wstring ToWide(const std::string& utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        char32_t c;
        wide += static_cast<wchar_t>(DecodeOne(utf8, pos, c) ? c : kReplacement);
    }
    return wide;
}

std::string ToUtf8(const std::wstring& wide) {
    std::string utf8;
    utf8.reserve(wide.size());
    for (wchar_t c : wide) Encode(static_cast<char32_t>(c), utf8);
    return utf8;
}

std::filesystem::path Utf8Path(const std::string& utf8) {
    for (size_t pos = 0; pos < utf8.size();) {
        char32_t c;
        if (!DecodeOne(utf8, pos, c)) {
            throw std::system_error(std::make_error_code(std::errc::illegal_byte_sequence),
                                    "the path is not valid UTF-8");
        }
    }
    return std::filesystem::path(utf8);
}

std::filesystem::path WidePath(const std::wstring& wide) { return std::filesystem::path(ToUtf8(wide)); }

std::string PathToUtf8(const std::filesystem::path& path) { return path.string(); }

std::wstring PathToWide(const std::filesystem::path& path) { return ToWide(path.string()); }

}  // namespace launcher
