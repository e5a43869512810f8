#include "platform/move_file.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#endif

#include "platform/error_text.h"

namespace launcher {

std::uint32_t ReplaceWithFile(const std::filesystem::path& from, const std::filesystem::path& to, unsigned tries) {
#ifdef _WIN32
    for (unsigned attempt = 1;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
            return 0;
        }
        const DWORD code = GetLastError();
        if ((code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) || attempt >= tries) return code;
        std::this_thread::sleep_for(kReplaceWait);
    }
#else
    (void)tries;
    if (std::rename(from.c_str(), to.c_str()) == 0) return 0;
    return static_cast<std::uint32_t>(errno);
#endif
}

bool MoveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string& systemText,
                       unsigned tries) {
    const std::uint32_t code = ReplaceWithFile(from, to, tries);
    if (code == 0) return true;
    systemText = SystemErrorText(code);
    return false;
}

}  // namespace launcher
