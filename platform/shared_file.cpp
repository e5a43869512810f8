#include "platform/shared_file.h"

#include <string>

#ifdef _WIN32
#include <share.h>
#endif

namespace launcher {

std::FILE* OpenSharedFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfsopen(path.c_str(), wideMode.c_str(), _SH_DENYNO);
#else
    return std::fopen(path.c_str(), mode);
#endif
}

}  // namespace launcher
