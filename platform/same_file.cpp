#include "platform/same_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace launcher {

#ifdef _WIN32
namespace {

// No access rights are asked for, so a file that another program holds open still answers;
// backup semantics let a folder open.
bool FileIdentity(const std::filesystem::path& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    return ok;
}

}  // namespace

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    if (!FileIdentity(a, first) || !FileIdentity(b, second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}
#else
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}
#endif

}  // namespace launcher
