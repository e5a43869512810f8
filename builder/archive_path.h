#pragma once
// The rules for archive entry names, shared by every extractor: which names may be written under a
// destination, and how a name is joined to it.

#include <filesystem>
#include <string>

namespace launcher {

// False for a name that could land outside the destination or that Windows would not write as
// named: empty, rooted, holding ':', a ".." component, a component (other than ".") ending in '.'
// or ' ', or a component that Windows takes for a device (CON, NUL, COM1, "nul.txt", ...). '/' and
// '\' both separate components; "." and empty components are allowed.
bool IsSafeRelativePath(const std::string& name);

// The destination joined with a UTF-8 name, '/' and '\' both separators on every platform.
// Throws std::system_error when the name is not valid UTF-8.
std::filesystem::path JoinPath(const std::filesystem::path& destination, const std::string& name);

}  // namespace launcher
