#pragma once

#include <string>

namespace launcher {

// The name under which a package entry is unpacked into the side folder, or "" to skip it. Skipped
// are the user's folders (hdd, assets, logs, screenshots, captures), the side folder, the package
// build's work files, settings (".toml") files at the top, and every name that is not safe to write: a package never
// fails for a bad name, it just does not get it.
std::string PackageEntryFilter(const std::string& name);

}  // namespace launcher
