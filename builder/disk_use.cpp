// The space that old build tools and build files take, and their removal. Sizes and removals
// never go through a link: a link counts nothing and is removed as itself.
#include "builder/builder.h"
#include "platform/error_text.h"
#include "platform/file_tree.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

fs::path BuildFilesFolder(const Builder& builder) {
    return InPackageMode(builder.game) ? builder.PlayFolder() / "compiler" / "work"
                                       : builder.baseFolder / "source" / "out";
}

}  // namespace

std::vector<fs::path> Builder::ListToolFolders() const {
    std::vector<fs::path> paths;
    // Outside package mode these are the tools the source build uses.
    if (!InPackageMode(game)) return paths;
    // A tools folder that is a link leads elsewhere: nothing behind it is ours to count or remove.
    const fs::path tools = baseFolder / "tools";
    std::error_code ec;
    if (!IsLink(tools)) {
        for (fs::directory_iterator it(tools, ec), end; !ec && it != end; it.increment(ec)) {
            // The music import still converts with it.
            if (AsciiLower(PathToUtf8(it->path().filename())) != "ffmpeg") paths.push_back(it->path());
        }
    }
    for (const char* name : {"source", "downloads", "agreed.txt"}) {
        const fs::path path = baseFolder / name;
        std::error_code statusError;
        if (fs::exists(fs::symlink_status(path, statusError))) paths.push_back(path);
    }
    return paths;
}

std::uint64_t Builder::ToolsDiskUse() const {
    std::uint64_t total = 0;
    for (const fs::path& path : ListToolFolders()) total += TreeSize(path);
    return total;
}

bool Builder::RemoveTools(std::string& error) {
    for (const fs::path& path : ListToolFolders()) {
        std::error_code ec;
        if (!RemoveTree(path, ec)) {
            error = "Could not remove " + PathToUtf8(path) + ": " + ErrorCodeText(ec);
            return false;
        }
        Log("removed " + PathToUtf8(path));
    }
    return true;
}

std::uint64_t Builder::BuildFilesSize() const { return TreeSize(BuildFilesFolder(*this)); }

bool Builder::RemoveBuildFiles(std::string& error) {
    std::error_code ec;
    if (RemoveTree(BuildFilesFolder(*this), ec)) return true;
    error = "Could not remove the build files: " + ErrorCodeText(ec);
    return false;
}

}  // namespace launcher
