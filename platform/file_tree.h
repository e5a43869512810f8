#pragma once
// Link-safe walking and removal of folder trees. The installed game's assets folder can be a
// junction into the user's own files: every recursive walk or removal goes through here, so that
// a link is only ever handled as itself and nothing behind it is touched.

#include <filesystem>
#include <functional>
#include <system_error>

namespace launcher {

// A symbolic link, a junction or any other reparse point.
bool IsLink(const std::filesystem::path& path);

// A real folder, not a link to one (nor a file).
bool IsRealFolder(const std::filesystem::path& path);

// Removes what stands at path: a link as a link, a file as a file, a folder with all it holds.
// Nothing at path counts as removed. On failure ec tells the first error met.
bool RemoveTree(const std::filesystem::path& path, std::error_code& ec);

enum class EntryKind { File, Folder, Link };

// Visits everything below root, a folder before what it holds. Links are visited, never entered.
bool WalkTree(const std::filesystem::path& root,
              const std::function<void(const std::filesystem::path&, EntryKind)>& visit, std::error_code& ec);

}  // namespace launcher
