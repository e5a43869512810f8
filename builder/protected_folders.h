#pragma once
// The folders of the installed game that belong to the user: the emulated hard disk (saves and
// imported music), the copied disc, logs, screenshots and captures. A new version of the game is
// never unpacked or moved over them.

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace launcher {

inline constexpr std::array<std::string_view, 5> kProtectedFolders = {"hdd", "assets", "logs", "screenshots",
                                                                      "captures"};

// The side folder in the play folder, where a package is unpacked and prepared. It never moves, and
// no entry of a package may stand for it.
inline constexpr std::string_view kSideFolder = ".next";

// A top-level name of the play folder that no entry of a package may replace, in any case: one of
// the user's folders, a settings file (".toml"), or the side folder.
bool IsProtectedTopLevelName(const std::string& name);
// The same for a name as the file system resolves it in the play folder: a name that opens one of
// those entries under another name (on Windows a short name such as SCREEN~1 or SETTIN~1.TOM) is
// protected too.
bool IsProtectedTopLevelEntry(const std::filesystem::path& playFolder, const std::string& name);

// The package build's work files, which the clean-up counts and removes.
inline constexpr std::string_view kPackageWorkFolder = "compiler/work";

}  // namespace launcher
