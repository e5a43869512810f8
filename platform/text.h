#pragma once
// UTF-8 <-> wide text. On Windows wide text is UTF-16, elsewhere it holds one code point a character.

#include <filesystem>
#include <string>
#include <string_view>

namespace launcher {

// Ill-formed UTF-8 is not an error: each bad sequence becomes U+FFFD.
std::wstring ToWide(const std::string& utf8);
std::string ToUtf8(const std::wstring& wide);

// The strict form for paths read from outside (JSON, archive entry names): ill-formed UTF-8
// throws std::system_error.
std::filesystem::path Utf8Path(const std::string& utf8);

// A path from wide text that the system gave (a file dialog's answer): exactly as given on Windows,
// elsewhere through UTF-8.
std::filesystem::path WidePath(const std::wstring& wide);

// A path as UTF-8 text, for messages and files.
std::string PathToUtf8(const std::filesystem::path& path);
// A path as wide text, for the system calls that take one.
std::wstring PathToWide(const std::filesystem::path& path);

// Lower case by the ASCII rules, byte by byte: only 'A' to 'Z' change.
std::string AsciiLower(std::string text);
// Upper case by the ASCII rules: only 'a' to 'z' change.
char AsciiUpper(char c);
// Equal but for the case of ASCII letters.
bool AsciiEqualIgnoringCase(std::string_view a, std::string_view b);

// text whole when it has at most maxBytes bytes, else its longest start of at most maxBytes that
// does not end inside a UTF-8 sequence.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

}  // namespace launcher
