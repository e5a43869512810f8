#pragma once
// The rules for archive entry names, shared by every extractor: which names may be written under a
// destination, and how a name is joined to it.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace launcher {

// The pieces of an entry name that name something, in order: the text between separators, without
// the empty and "." pieces. '/' and '\' both separate, as on Windows, unless only '/' is asked for.
// The pieces point into the name.
std::vector<std::string_view> NamedPieces(std::string_view name, bool backslashSeparates = true);

// False for a name that could land outside the destination or that Windows would not write as
// named: empty, rooted, holding ':' or a byte below 0x20, a ".." component, a component (other
// than ".") ending in '.' or ' ', a component that Windows takes for a device (CON, NUL, COM1,
// "nul.txt", ...), or no component but "." and empty ones. '/' and '\' both separate components;
// "." and empty components are allowed beside others.
bool IsSafeRelativePath(const std::string& name);

// An entry name for a message: each byte below 0x20 written as "\x" and two hexadecimal digits.
std::string EscapedEntryName(const std::string& name);

// The destination joined with a UTF-8 name, '/' and '\' both separators on every platform.
// Throws std::system_error when the name is not valid UTF-8.
std::filesystem::path JoinPath(const std::filesystem::path& destination, const std::string& name);

}  // namespace launcher
