#include "platform/path_status.h"

#ifdef _WIN32
#include <windows.h>
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

#endif

}  // namespace launcher
