#include "platform/same_file.h"

#ifdef _WIN32
#include <windows.h>

#include <cstring>
#endif

namespace launcher {

#ifdef _WIN32
namespace {

struct Identity {
    std::uint64_t volume = 0;
    std::array<std::uint8_t, 16> id{};
    // Only ids of the same kind compare: a 64-bit index is no 128-bit id.
    bool precise = false;
    bool operator==(const Identity&) const = default;
};

bool SystemFileIdQuery(void* file, std::uint64_t& volume, std::array<std::uint8_t, 16>& id) {
    FILE_ID_INFO info{};
    if (!GetFileInformationByHandleEx(file, FileIdInfo, &info, sizeof info)) return false;
    volume = info.VolumeSerialNumber;
    static_assert(sizeof info.FileId.Identifier == 16);
    std::memcpy(id.data(), info.FileId.Identifier, id.size());
    return true;
}

// No access rights are asked for, so a file that another program holds open still answers;
// backup semantics let a folder open.
bool FileIdentity(const std::filesystem::path& path, const FileIdQuery& query, Identity& identity) {
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = query(file, identity.volume, identity.id);
    identity.precise = ok;
    if (!ok) {
        BY_HANDLE_FILE_INFORMATION info{};
        ok = GetFileInformationByHandle(file, &info) != 0;
        identity.volume = info.dwVolumeSerialNumber;
        const std::uint64_t index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
        std::memcpy(identity.id.data(), &index, sizeof index);
    }
    CloseHandle(file);
    return ok;
}

}  // namespace

bool SameFileBy(const std::filesystem::path& a, const std::filesystem::path& b, const FileIdQuery& query) {
    Identity first;
    Identity second;
    return FileIdentity(a, query, first) && FileIdentity(b, query, second) && first == second;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    return SameFileBy(a, b, SystemFileIdQuery);
}
#else
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}
#endif

}  // namespace launcher
