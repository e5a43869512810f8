#include "platform/copy_file.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/error_text.h"

namespace launcher {

bool CopyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string& systemText) {
#ifdef _WIN32
    if (CopyFileW(from.c_str(), to.c_str(), FALSE)) return true;
    systemText = SystemErrorText(GetLastError());
    return false;
#else
    std::error_code ec;
    if (std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, ec)) return true;
    systemText = SystemErrorText(static_cast<std::uint32_t>(ec.value()));
    return false;
#endif
}

}  // namespace launcher
