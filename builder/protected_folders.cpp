#include "builder/protected_folders.h"

#include "platform/path_status.h"
#include "platform/text.h"

namespace launcher {

bool IsProtectedTopLevelName(const std::string& name) {
    const std::string lower = AsciiLower(name);
    for (const std::string_view folder : kProtectedFolders) {
        if (lower == folder) return true;
    }
    return lower == kSideFolder || (lower.size() >= 6 && lower.ends_with(".toml"));
}

bool IsProtectedTopLevelEntry(const std::filesystem::path& playFolder, const std::string& name) {
    return IsProtectedTopLevelName(name) || IsProtectedTopLevelName(StoredName(playFolder, name));
}

}  // namespace launcher
