#pragma once
// Where a tool's archive entries go below its folder: leading folders stripped, only the wanted
// entries kept.

#include <string>

#include "builder/toolchain.h"

namespace launcher {

// The name without its first count '/'-separated components; "" when it has fewer. A count below 1
// leaves it as it is.
std::string StripComponents(const std::string& name, int count);

// Whether a keep pattern takes a name. A pattern ending in '/' takes every name that begins with
// it; any other must match the whole name, where '*' stands for any run of characters without '/'.
bool KeepPatternMatches(const std::string& pattern, const std::string& name);

// The tool's path below its folder for an archive entry ('/' separators), or "" to skip the entry:
// a VSIX package's entries outside Contents/, folders, and names no keep pattern takes.
std::string MapArchivePath(const Tool& tool, const std::string& name);

}  // namespace launcher
