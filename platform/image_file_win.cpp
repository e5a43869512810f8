#include <windows.h>

#include "platform/image_file.h"

namespace launcher {
namespace {

// Each thread waits for its reads on an event of its own, made on its first read.
struct ThreadEvent {
    HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~ThreadEvent() {
        if (handle != nullptr) CloseHandle(handle);
    }
};

class OverlappedFile final : public PositionedFile {
public:
    explicit OverlappedFile(HANDLE handle) : handle_(handle) {}
    ~OverlappedFile() override { CloseHandle(handle_); }

    ReadPass Read(std::uint64_t offset, void* buffer, std::uint32_t count) override {
        thread_local ThreadEvent event;
        OVERLAPPED overlapped{};
        overlapped.Offset = static_cast<DWORD>(offset);
        overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
        overlapped.hEvent = event.handle;
        ReadPass pass;
        DWORD read = 0;
        if (ReadFile(handle_, buffer, count, nullptr, &overlapped) || GetLastError() == ERROR_IO_PENDING) {
            if (!GetOverlappedResult(handle_, &overlapped, &read, TRUE)) pass.error = GetLastError();
        } else {
            pass.error = GetLastError();
        }
        // Overlapped reads report the end of the file as an error, not as 0 bytes.
        if (pass.error == ERROR_HANDLE_EOF) pass.error = 0;
        pass.bytes = read;
        return pass;
    }

    std::uint64_t Size() override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(handle_, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }

private:
    HANDLE handle_;
};

}  // namespace

std::unique_ptr<PositionedFile> OpenImageFile(const std::wstring& path) {
    HANDLE handle =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<OverlappedFile>(handle);
}

}  // namespace launcher
