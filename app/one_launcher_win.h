#pragma once
// One launcher per base folder: a named mutex derived from the folder, held by the interface thread
// while the launcher runs, and the holder's window marked so that a later launcher on the same
// folder can bring it to the front instead of running.

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace launcher {

class BaseFolderClaim {
public:
    BaseFolderClaim() = default;
    ~BaseFolderClaim();
    BaseFolderClaim(const BaseFolderClaim&) = delete;
    BaseFolderClaim& operator=(const BaseFolderClaim&) = delete;

    // Waits for baseFolder's mutex: up to giveWayAfter while the holder shows a window of its own,
    // and up to longestWait while it shows none (a launcher that is ending, such as one that has
    // just started its replacement after a self-update, or one still starting). True when this
    // launcher holds it now, or when it cannot be made (nothing is guarded then); false when
    // another launcher keeps it.
    bool Claim(const std::filesystem::path& baseFolder, DWORD giveWayAfter, DWORD longestWait);
    // Marks window as the one of the launcher that holds the folder.
    void MarkWindow(HWND window) const;
    // Takes the mark off before the window is destroyed.
    void UnmarkWindow(HWND window) const;
    // Brings the holding launcher's window to the front, restored when it is minimised; a hidden
    // one (waiting for the game started at start-up) stays hidden.
    void ShowHoldersWindow() const;

private:
    HWND HoldersWindow() const;

    HANDLE mutex_ = nullptr;
    bool held_ = false;
    std::uintptr_t mark_ = 0;
};

// The name of baseFolder's mutex: the same for every path that reaches one folder (other case,
// short names, a junction), as far as the system resolves them.
std::wstring BaseFolderMutexName(const std::filesystem::path& baseFolder);

}  // namespace launcher
