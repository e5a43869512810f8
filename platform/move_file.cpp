#include "platform/move_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#endif

#include "platform/error_text.h"

namespace launcher {

bool MoveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string& systemText) {
#ifdef _WIN32
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) return true;
    const DWORD code = GetLastError();
    systemText = SystemErrorText(code);
#else
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    systemText = SystemErrorText(static_cast<std::uint32_t>(errno));
#endif
    return false;
}

}  // namespace launcher
