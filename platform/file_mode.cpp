#include "platform/file_mode.h"

namespace launcher {

void AddExecuteBits([[maybe_unused]] const std::filesystem::path& file, [[maybe_unused]] std::uint32_t unixMode) {
#ifndef _WIN32
    namespace fs = std::filesystem;
    const auto bits =
        static_cast<fs::perms>(unixMode) & (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    if (bits == fs::perms::none) return;
    std::error_code ec;
    fs::permissions(file, bits, fs::perm_options::add, ec);
#endif
}

}  // namespace launcher
