#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>

namespace launcher {

// The name under which a package entry is unpacked into the side folder, or "" to skip it. Skipped
// are the user's folders (hdd, assets, logs, screenshots, captures), the side folder, the package
// build's work files, settings (".toml") files at the top, and every name that is not safe to write:
// a package never fails for a bad name, it just does not get it. A name whose first piece the file
// system resolves, in the play folder, to one of the user's entries under another name is skipped
// too.
class PackageEntryFilter {
public:
    explicit PackageEntryFilter(std::filesystem::path playFolder) : playFolder_(std::move(playFolder)) {}

    std::string operator()(const std::string& name);

private:
    std::filesystem::path playFolder_;
    std::map<std::string, bool> protectedTops_;  // each first piece met: whether it resolves to a protected entry
};

}  // namespace launcher
