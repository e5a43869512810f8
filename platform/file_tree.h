#pragma once
// Link-safe walking and removal of folder trees. The installed game's assets folder can be a
// junction into the user's own files: every recursive walk or removal goes through here, so that
// a link is only ever handled as itself and nothing behind it is touched.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <system_error>

namespace launcher {

// A symbolic link or a junction. On Windows that is a reparse point whose tag stands for another
// name (IsReparseTagNameSurrogate), or whose tag is 0, as Wine shows a Linux symbolic link; a
// reparse point of any other kind (OneDrive's files on demand, deduplicated files) is the file or
// folder it looks like.
bool IsLink(const std::filesystem::path& path);

// A real folder, not a link to one (nor a file).
bool IsRealFolder(const std::filesystem::path& path);

// Removes what stands at path: a link as a link, a file as a file, a folder with all it holds.
// Nothing at path counts as removed. On failure ec tells the first error met.
bool RemoveTree(const std::filesystem::path& path, std::error_code& ec);

enum class EntryKind { File, Folder, Link };

// What IsLink and the walks make of a Windows entry, from its attributes and, when those include
// FILE_ATTRIBUTE_REPARSE_POINT, its reparse tag (the tag is not looked at otherwise).
EntryKind KindOfWindowsEntry(std::uint32_t attributes, std::uint32_t reparseTag);

// The bytes the files at path take: a file its own size, a real folder the sum over all the files
// below it. A link is neither entered nor counted, whatever it points at, also when it stands at
// path itself: a link into the user's own folder must not make it look like ours, and a library's
// versioned links must not count it twice. What cannot be read adds nothing. Each file costs one
// status query at most: its kind is the one its folder's listing gives (on Windows its size too).
std::uint64_t TreeSize(const std::filesystem::path& path);

// Visits everything below root, a folder before what it holds. Links are visited, never entered.
bool WalkTree(const std::filesystem::path& root,
              const std::function<void(const std::filesystem::path&, EntryKind)>& visit, std::error_code& ec);

}  // namespace launcher
