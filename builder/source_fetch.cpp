// The port's source in source/: a fresh clone, or a fetch and a hard reset of the checkout there,
// then the submodules. A released launcher builds its own version tag, a development one the tip
// of the game's branch.
#include <vector>

#include "builder/builder.h"
#include "builder/git_run.h"
#include "platform/error_text.h"
#include "platform/file_tree.h"
#include "platform/path_status.h"
#include "platform/release.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

bool IsLockFile(const fs::path& path) { return path.extension() == ".lock"; }

// A git that was ended at once (a Stop on Windows kills it) leaves its lock files, and every later
// run then fails on them. Nothing but the launcher runs git in this checkout, so a lock found
// before the first run is stale: the ones at the top of .git (index, HEAD, config, packed-refs),
// those of the refs, and all in the submodules' repositories.
void RemoveStaleLocks(const fs::path& gitFolder) {
    std::vector<fs::path> locks;
    std::error_code ec;
    for (fs::directory_iterator it(gitFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsLockFile(it->path()) && !IsLink(it->path()) && !IsRealFolder(it->path())) locks.push_back(it->path());
    }
    for (const char* below : {"refs", "modules"}) {
        WalkTree(
            gitFolder / below,
            [&locks](const fs::path& path, EntryKind kind) {
                if (kind == EntryKind::File && IsLockFile(path)) locks.push_back(path);
            },
            ec);
    }
    for (const fs::path& lock : locks) fs::remove(lock, ec);
}

}  // namespace

bool Builder::FetchSource(std::string& error) {
    Report(kSourceDownloadTitle, "", -1.0);
    fs::path sourceFolder = baseFolder / "source";
    const std::string source = PathToUtf8(sourceFolder.make_preferred());
    const bool tagMode = IsVersion(game.version);
    const std::string& ref = tagMode ? game.version : game.branch;

    // Only a checkout that is known to be missing is cloned afresh: that deletes the whole folder,
    // build tree and the user's own files included.
    const fs::path gitFolder = sourceFolder / ".git";
    std::uint32_t code = 0;
    const PathPresence checkout = QueryPresence(gitFolder, code);
    if (checkout == PathPresence::Unknown) {
        error = ComposeErrorText("Could not read " + PathToUtf8(gitFolder), code, SystemErrorText(code));
        return false;
    }
    if (checkout == PathPresence::Present) {
        RemoveStaleLocks(gitFolder);
        const std::vector<std::string> update =
            tagMode ? std::vector<std::string>{"-C",
                                               source,
                                               "fetch",
                                               "--progress",
                                               "--force",
                                               "origin",
                                               "refs/tags/" + ref + ":refs/tags/" + ref}
                    : std::vector<std::string>{"-C", source, "fetch", "--progress", "origin", ref};
        if (Git(update, nullptr, error) != 0) return false;
        if (Git({"-C", source, "reset", "--hard", tagMode ? ref : "origin/" + ref}, nullptr, error) != 0) return false;
    } else {
        // What an interrupted clone left; a failure here shows in the clone.
        std::error_code ignored;
        RemoveTree(sourceFolder, ignored);
        if (Git({"clone", "--progress", "--branch", ref, game.repo, source}, nullptr, error) != 0) return false;
    }
    return Git({"-C", source, "submodule", "update", "--init", "--recursive", "--progress"}, nullptr, error) == 0;
}

}  // namespace launcher
