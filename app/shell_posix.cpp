// The Linux stand-ins of the shell helpers: there is no picker and nothing is opened.
#include "app/shell.h"
#include "app/shell_system.h"

namespace launcher {

std::wstring ShowPathDialog(WindowHandle, bool, const wchar_t*) { return {}; }

void OpenWithShell(const std::wstring&) {}

std::uint64_t AvailableBytes(const std::filesystem::path& existing) {
    std::error_code ec;
    const std::filesystem::space_info space = std::filesystem::space(existing, ec);
    return ec ? 0 : space.available;
}

}  // namespace launcher
