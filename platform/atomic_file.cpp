#include "platform/atomic_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <algorithm>

#include "platform/error_text.h"
#include "platform/file_tree.h"
#include "platform/move_file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

fs::path TemporaryBeside(const fs::path& target) {
    fs::path temporary = target;
    temporary += ".partial";
    return temporary;
}

std::string WithPlatformLineEnds(const std::string& bytes) {
#ifdef _WIN32
    std::string converted;
    converted.reserve(bytes.size() + static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    for (const char c : bytes) {
        if (c == '\n') converted += '\r';
        converted += c;
    }
    return converted;
#else
    return bytes;
#endif
}

#ifdef _WIN32
using SystemCode = DWORD;

// Creates file (only where nothing stands when fresh is set, else over what is there), writes all of
// bytes and flushes them to the disk. 0 on success.
SystemCode WriteDurably(const fs::path& file, const std::string& bytes, bool fresh) {
    const HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    fresh ? CREATE_NEW : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    SystemCode code = 0;
    size_t written = 0;
    while (code == 0 && written < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 30));
        DWORD done = 0;
        if (!WriteFile(handle, bytes.data() + written, piece, &done, nullptr)) {
            code = GetLastError();
        } else if (done == 0) {
            code = ERROR_WRITE_FAULT;
        }
        written += done;
    }
    if (code == 0 && !FlushFileBuffers(handle)) code = GetLastError();
    if (!CloseHandle(handle) && code == 0) code = GetLastError();
    return code;
}

SystemCode FlushToDisk(const fs::path& file) {
    const HANDLE handle =
        CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError();
    SystemCode code = FlushFileBuffers(handle) ? 0 : GetLastError();
    if (!CloseHandle(handle) && code == 0) code = GetLastError();
    return code;
}

SystemCode Replace(const fs::path& from, const fs::path& to) { return ReplaceWithFile(from, to); }

void RemoveQuietly(const fs::path& file) { DeleteFileW(file.c_str()); }
#else
using SystemCode = int;

SystemCode WriteDurably(const fs::path& file, const std::string& bytes, bool fresh) {
    const int creation = fresh ? O_CREAT | O_EXCL | O_NOFOLLOW : O_CREAT | O_TRUNC;
    const int fd = ::open(file.c_str(), O_WRONLY | creation | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    SystemCode code = 0;
    size_t written = 0;
    while (code == 0 && written < bytes.size()) {
        const ssize_t done = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (done < 0) {
            if (errno != EINTR) code = errno;
            continue;
        }
        written += static_cast<size_t>(done);
    }
    if (code == 0 && ::fsync(fd) != 0) code = errno;
    if (::close(fd) != 0 && code == 0) code = errno;
    return code;
}

SystemCode FlushToDisk(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    SystemCode code = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return code;
}

// The new name itself reaches the disk with its folder.
void FlushFolder(const fs::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

SystemCode Replace(const fs::path& from, const fs::path& to) {
    if (const std::uint32_t code = ReplaceWithFile(from, to); code != 0) return static_cast<SystemCode>(code);
    FlushFolder(to.parent_path());
    return 0;
}

void RemoveQuietly(const fs::path& file) { ::unlink(file.c_str()); }
#endif

std::string WriteError(const fs::path& file, SystemCode code) {
    return ComposeErrorText("cannot write " + PathToUtf8(file), static_cast<std::uint32_t>(code),
                            SystemErrorText(static_cast<std::uint32_t>(code)));
}

// Writes through the temporary file; on failure returns the system's code and names the file it
// could not write in failedFile.
SystemCode WriteThroughTemporary(const fs::path& target, const std::string& bytes, const AtomicWriteOptions& options,
                                 fs::path& failedFile) {
    const std::string text = options.platformLineEnds ? WithPlatformLineEnds(bytes) : bytes;
    const fs::path temporary = TemporaryBeside(target);
    // What an earlier run left at the temporary name goes first, a link as a link, and the file is
    // made afresh: never written through a link to somewhere else and then renamed into place. A
    // real folder there stays, and the write fails.
    if (!IsRealFolder(temporary)) {
        std::error_code ignored;
        RemoveTree(temporary, ignored);
    }
    if (const SystemCode code = WriteDurably(temporary, text, true); code != 0) {
        // No room for the new text (a full disk, say): the target stays as it was.
        RemoveQuietly(temporary);
        failedFile = temporary;
        return code;
    }
    const SystemCode refused = Replace(temporary, target);
    if (refused == 0) return 0;
    RemoveQuietly(temporary);
    failedFile = target;
    if (options.writeInPlaceWhenReplaceRefused) return WriteDurably(target, text, false);
    return refused;
}

}  // namespace

bool WriteFileAtomically(const fs::path& target, const std::string& bytes, const AtomicWriteOptions& options,
                         std::string& error) {
    fs::path failedFile;
    const SystemCode code = WriteThroughTemporary(target, bytes, options, failedFile);
    if (code == 0) return true;
    error = WriteError(failedFile, code);
    return false;
}

bool WriteFileAtomically(const fs::path& target, const std::string& bytes, const AtomicWriteOptions& options,
                         std::uint32_t& code, std::string& systemText) {
    fs::path failedFile;
    const SystemCode failure = WriteThroughTemporary(target, bytes, options, failedFile);
    if (failure == 0) return true;
    code = static_cast<std::uint32_t>(failure);
    systemText = SystemErrorText(code);
    return false;
}

bool CommitFile(const fs::path& written, const fs::path& target, std::string& systemText) {
    SystemCode code = FlushToDisk(written);
    if (code == 0) code = Replace(written, target);
    if (code == 0) return true;
    systemText = SystemErrorText(static_cast<std::uint32_t>(code));
    return false;
}

}  // namespace launcher
