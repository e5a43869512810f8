#include "platform/process_runner.h"

namespace launcher {

std::filesystem::path MsiLogPath(const std::filesystem::path& msi, const std::filesystem::path& targetFolder) {
    std::filesystem::path folder = targetFolder;
    while (!folder.empty() && !folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
    std::filesystem::path log = folder.parent_path();
    log /= msi.stem();
    log += ".msiexec.log";
    return log;
}

}  // namespace launcher
