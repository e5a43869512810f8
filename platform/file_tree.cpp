#include "platform/file_tree.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

#ifdef _WIN32

// libstdc++ on Windows sees neither junctions nor symbolic links, so ask for the attribute.
DWORD Attributes(const fs::path& path) { return GetFileAttributesW(path.c_str()); }

bool RemoveEntry(const fs::path& path, std::error_code& ec) {
    const DWORD attributes = Attributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
        ec.assign(static_cast<int>(code), std::system_category());
        return false;
    }
    // A folder link is removed with RemoveDirectoryW, which takes the link and leaves its target.
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) return true;
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return true;
    ec.assign(static_cast<int>(code), std::system_category());
    return false;
}

#else

bool RemoveEntry(const fs::path& path, std::error_code& ec) {
    fs::remove(path, ec);
    if (ec == std::errc::no_such_file_or_directory) ec.clear();
    return !ec;
}

#endif

}  // namespace

bool IsLink(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
#endif
}

bool IsRealFolder(const fs::path& path) {
    std::error_code ec;
    return !IsLink(path) && fs::is_directory(fs::symlink_status(path, ec));
}

bool RemoveTree(const fs::path& path, std::error_code& ec) {
    ec.clear();
    if (IsRealFolder(path)) {
        // What can go goes, also after a failure; the first error is the one reported.
        std::error_code first;
        std::error_code walkError;
        for (fs::directory_iterator it(path, walkError), end; !walkError && it != end; it.increment(walkError)) {
            std::error_code entryError;
            if (!RemoveTree(it->path(), entryError) && !first) first = entryError;
        }
        if (!first) first = walkError;
        if (first) {
            ec = first;
            return false;
        }
    }
    return RemoveEntry(path, ec);
}

bool WalkTree(const fs::path& root, const std::function<void(const fs::path&, EntryKind)>& visit, std::error_code& ec) {
    ec.clear();
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        if (IsLink(path)) {
            visit(path, EntryKind::Link);
        } else if (IsRealFolder(path)) {
            visit(path, EntryKind::Folder);
            if (!WalkTree(path, visit, ec)) return false;
        } else {
            visit(path, EntryKind::File);
        }
    }
    return !ec;
}

}  // namespace launcher
