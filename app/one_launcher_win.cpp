#include "app/one_launcher_win.h"

#include <string>

#include "platform/sha.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

// The window property that carries the mark of the folder its launcher holds.
constexpr wchar_t kMarkProperty[] = L"QuenforgeLauncherFolder";

// The path of an existing file or folder as the system resolves it (long names, the case on disk,
// junctions followed); empty when it cannot be opened.
std::wstring FinalPath(const fs::path& path) {
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::wstring buffer(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(file);
    if (length == 0 || length >= buffer.size()) return {};
    buffer.resize(length);
    return buffer;
}

// SHA-256 of the folder's resolved, upper-cased path; a base folder that does not exist yet is
// resolved through its parent, the executable's folder.
std::string FolderDigest(const fs::path& baseFolder) {
    std::wstring resolved = FinalPath(baseFolder);
    if (resolved.empty()) {
        const std::wstring parent = FinalPath(baseFolder.parent_path());
        resolved = parent.empty() ? baseFolder.lexically_normal().wstring()
                                  : parent + L"\\" + baseFolder.filename().wstring();
    }
    CharUpperBuffW(resolved.data(), static_cast<DWORD>(resolved.size()));
    const std::string text = ToUtf8(resolved);
    Sha256Context context;
    Sha256Init(context);
    Sha256Update(context, text.data(), text.size());
    return Sha256Final(context);
}

std::wstring MutexName(const std::string& digest) {
    return L"Local\\QuenforgeLauncher-" + ToWide(digest.substr(0, 32));
}

struct WindowSearch {
    std::uintptr_t mark = 0;
    HWND found = nullptr;
};

BOOL CALLBACK FindMarkedWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    if (reinterpret_cast<std::uintptr_t>(GetPropW(window, kMarkProperty)) != search->mark) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

std::wstring BaseFolderMutexName(const fs::path& baseFolder) { return MutexName(FolderDigest(baseFolder)); }

BaseFolderClaim::~BaseFolderClaim() {
    if (held_) ReleaseMutex(mutex_);
    if (mutex_ != nullptr) CloseHandle(mutex_);
}

bool BaseFolderClaim::Claim(const fs::path& baseFolder, DWORD giveWayAfter, DWORD longestWait) {
    const std::string digest = FolderDigest(baseFolder);
    // Never 0, which no window's property list returns for a mark.
    mark_ = static_cast<std::uintptr_t>(std::stoull(digest.substr(0, 15), nullptr, 16)) | 1u;
    mutex_ = CreateMutexW(nullptr, FALSE, MutexName(digest).c_str());
    if (mutex_ == nullptr) return true;
    constexpr DWORD kSlice = 250;
    const ULONGLONG start = GetTickCount64();
    DWORD waited = WAIT_TIMEOUT;
    for (;;) {
        waited = WaitForSingleObject(mutex_, kSlice);
        // An abandoned mutex is held all the same: its launcher ended without letting go.
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
            held_ = true;
            return true;
        }
        if (waited != WAIT_TIMEOUT) break;
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (elapsed >= longestWait || (elapsed >= giveWayAfter && HoldersWindow() != nullptr)) break;
    }
    CloseHandle(mutex_);
    mutex_ = nullptr;
    // A wait that failed guards nothing; a timeout leaves the folder to its holder.
    return waited != WAIT_TIMEOUT;
}

HWND BaseFolderClaim::HoldersWindow() const {
    WindowSearch search;
    search.mark = mark_;
    EnumWindows(FindMarkedWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void BaseFolderClaim::MarkWindow(HWND window) const {
    if (held_) SetPropW(window, kMarkProperty, reinterpret_cast<HANDLE>(mark_));
}

void BaseFolderClaim::UnmarkWindow(HWND window) const { RemovePropW(window, kMarkProperty); }

void BaseFolderClaim::ShowHoldersWindow() const {
    const HWND window = HoldersWindow();
    if (window == nullptr || !IsWindowVisible(window)) return;
    // Asynchronous, so that a holder that does not answer cannot hold this launcher up.
    if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
    SetForegroundWindow(window);
}

}  // namespace launcher
