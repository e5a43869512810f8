#include "app/shell.h"

#include <atomic>

#include "app/shell_system.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

std::atomic<ShellOpener> shellOpener{nullptr};
std::atomic<PathPicker> pathPicker{nullptr};

// The path itself when its status can be read, else its nearest ancestor that can, stopping at a
// root (which then may not exist either, as a missing drive's).
fs::path NearestExisting(fs::path path) {
    std::error_code ec;
    while (!path.empty()) {
        if (fs::exists(path, ec)) break;
        fs::path parent = path.parent_path();
        if (parent == path) break;
        path = std::move(parent);
    }
    return path;
}

}  // namespace

void SetShellOpener(ShellOpener opener) { shellOpener = opener; }

void SetPathPicker(PathPicker picker) { pathPicker = picker; }

std::wstring PickPath(WindowHandle owner, bool folder, const wchar_t* title) {
    if (const PathPicker picker = pathPicker.load()) return picker(owner, folder, title);
    return ShowPathDialog(owner, folder, title);
}

void ShellOpen(const std::string& text) {
    if (const ShellOpener opener = shellOpener.load()) {
        opener(text);
        return;
    }
    OpenWithShell(ToWide(text));
}

void ShellOpenW(const fs::path& path) {
    if (const ShellOpener opener = shellOpener.load()) {
        opener(PathToUtf8(path));
        return;
    }
    OpenWithShell(PathToWide(path));
}

std::uint64_t FreeSpace(const fs::path& path) { return AvailableBytes(NearestExisting(path)); }

}  // namespace launcher
