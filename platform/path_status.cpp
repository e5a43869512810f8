#include "platform/path_status.h"

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#else
#include <sys/stat.h>

#include <cerrno>
#endif

namespace launcher {

#ifdef _WIN32

PathPresence QueryPresence(const std::filesystem::path& path, std::uint32_t& code) {
    code = 0;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return PathPresence::Present;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return PathPresence::Absent;
    code = error;
    return PathPresence::Unknown;
}

std::string StoredName(const std::filesystem::path& folder, const std::string& name) {
    std::wstring path = PathToWide(folder);
    if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += ToWide(name);
    std::wstring stored(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetLongPathNameW(path.c_str(), stored.data(), static_cast<DWORD>(stored.size()));
        if (length == 0) return name;
        if (length < stored.size()) {
            stored.resize(length);
            break;
        }
        stored.resize(length);
    }
    const size_t separator = stored.find_last_of(L"\\/");
    return ToUtf8(separator == std::wstring::npos ? stored : stored.substr(separator + 1));
}

#else

PathPresence QueryPresence(const std::filesystem::path& path, std::uint32_t& code) {
    code = 0;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return PathPresence::Present;
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return PathPresence::Absent;
    code = static_cast<std::uint32_t>(error);
    return PathPresence::Unknown;
}

std::string StoredName(const std::filesystem::path&, const std::string& name) { return name; }

#endif

}  // namespace launcher
