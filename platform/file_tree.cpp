#include "platform/file_tree.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

// Windows' values, which the Linux build tests too.
constexpr std::uint32_t kDirectoryAttribute = 0x10;
constexpr std::uint32_t kReparsePointAttribute = 0x400;
// The bit IsReparseTagNameSurrogate tests: the reparse point stands for another name.
constexpr std::uint32_t kNameSurrogateTagBit = 0x20000000;

#ifdef _WIN32
static_assert(kDirectoryAttribute == FILE_ATTRIBUTE_DIRECTORY &&
              kReparsePointAttribute == FILE_ATTRIBUTE_REPARSE_POINT);
static_assert(IsReparseTagNameSurrogate(kNameSurrogateTagBit) && !IsReparseTagNameSurrogate(~kNameSurrogateTagBit));

// libstdc++ on Windows sees neither junctions nor symbolic links, so ask for the attribute.
DWORD Attributes(const fs::path& path) { return GetFileAttributesW(path.c_str()); }

// The tag of the reparse point at path, read without following it (the attributes do not carry it).
// One whose tag cannot be read counts as a link, which errs toward entering less.
DWORD ReparseTag(const fs::path& path) {
    const HANDLE file =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return IO_REPARSE_TAG_SYMLINK;
    FILE_ATTRIBUTE_TAG_INFO info{};
    const bool read = GetFileInformationByHandleEx(file, FileAttributeTagInfo, &info, sizeof info) != 0;
    CloseHandle(file);
    return read ? info.ReparseTag : IO_REPARSE_TAG_SYMLINK;
}

EntryKind KindAt(const fs::path& path, DWORD attributes) {
    return KindOfWindowsEntry(attributes, (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? ReparseTag(path) : 0);
}

std::uint64_t FileSize(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }

// What path itself is, and a file's size; false when its status cannot be read.
bool QueryRoot(const fs::path& path, EntryKind& kind, std::uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    kind = KindAt(path, data.dwFileAttributes);
    size = FileSize(data.nFileSizeHigh, data.nFileSizeLow);
    return true;
}

// The bytes of the files directly in folder by the kind and size its listing gives, with no query
// per entry; its real folders go to subfolders.
std::uint64_t ListedFileBytes(const fs::path& folder, std::vector<fs::path>& subfolders) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileExW((folder / L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                         nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return 0;
    std::uint64_t total = 0;
    do {
        const std::wstring_view name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        // The listing gives the reparse tag too.
        const EntryKind kind = KindOfWindowsEntry(data.dwFileAttributes, data.dwReserved0);
        if (kind == EntryKind::File) total += FileSize(data.nFileSizeHigh, data.nFileSizeLow);
        if (kind == EntryKind::Folder) subfolders.push_back(folder / name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return total;
}

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

// Only regular files count as files here: a socket or a device has no size worth adding.
bool QueryRoot(const fs::path& path, EntryKind& kind, std::uint64_t& size) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return false;
    kind = S_ISLNK(info.st_mode) ? EntryKind::Link : S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::File;
    size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
    return true;
}

// The bytes of the regular files directly in folder; its real folders go to subfolders. The kind
// is the listing's (d_type), and a file's size is one status query relative to the open folder,
// as du makes it: a query by the whole path, which the system resolves anew each time, takes twice
// as long. The folder is opened without following a link, so one that became a link since it was
// listed is not entered either.
std::uint64_t ListedFileBytes(const fs::path& folder, std::vector<fs::path>& subfolders) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    DIR* const listing = fdopendir(fd);
    if (listing == nullptr) {
        close(fd);
        return 0;
    }
    std::uint64_t total = 0;
    while (const dirent* entry = readdir(listing)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        bool folderEntry = entry->d_type == DT_DIR;
        // Some file systems leave the kind out of the listing: then the query tells it.
        if (entry->d_type == DT_REG || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            if (fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISREG(info.st_mode)) total += static_cast<std::uint64_t>(info.st_size);
            folderEntry = S_ISDIR(info.st_mode);
        }
        if (folderEntry) subfolders.push_back(folder / name);
    }
    closedir(listing);
    return total;
}

#endif

}  // namespace

EntryKind KindOfWindowsEntry(std::uint32_t attributes, std::uint32_t reparseTag) {
    const bool reparsePoint = (attributes & kReparsePointAttribute) != 0;
    if (reparsePoint && (reparseTag == 0 || (reparseTag & kNameSurrogateTagBit) != 0)) return EntryKind::Link;
    return (attributes & kDirectoryAttribute) != 0 ? EntryKind::Folder : EntryKind::File;
}

bool IsLink(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = Attributes(path);
    return attributes != INVALID_FILE_ATTRIBUTES && KindAt(path, attributes) == EntryKind::Link;
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

std::uint64_t TreeSize(const fs::path& path) {
    EntryKind kind = EntryKind::File;
    std::uint64_t total = 0;
    if (!QueryRoot(path, kind, total) || kind == EntryKind::Link) return 0;
    if (kind == EntryKind::File) return total;
    // Folders still to list, rather than recursion: a deep tree cannot exhaust the stack.
    std::vector<fs::path> folders{path};
    while (!folders.empty()) {
        const fs::path folder = std::move(folders.back());
        folders.pop_back();
        total += ListedFileBytes(folder, folders);
    }
    return total;
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
