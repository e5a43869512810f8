// The "replace the game" stage: the prepared version moves from play/.next into play, one entry of
// the top level at a time. On Windows a file of the running game, or one an antivirus is reading,
// cannot be replaced for a while, so each entry is tried again once a second.
#include <vector>

#include "builder/package_pipeline.h"
#include "builder/protected_folders.h"
#include "platform/atomic_file.h"
#include "platform/error_text.h"
#include "platform/file_tree.h"
#include "platform/move_file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr unsigned kAttempts = 120;
constexpr std::chrono::milliseconds kWait{1000};

struct SideEntry {
    fs::path path;
    std::string name;  // UTF-8
    bool folder;       // a link to a folder is no folder here: it moves as the link
};

// Every entry before anything moves, so that a listing that breaks off cannot leave half a move.
bool ListSideFolder(const fs::path& side, std::vector<SideEntry>& entries, std::error_code& ec) {
    for (fs::directory_iterator it(side, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        std::error_code typeError;
        const bool folder = !IsLink(path) && it->is_directory(typeError);
        entries.push_back(SideEntry{path, PathToUtf8(path.filename()), folder});
    }
    return !ec;
}

void CallHook(Builder& builder, const char* point, const std::string& name) {
    if (builder.replaceHook) builder.replaceHook(point, name);
}

void LogFailedTry(Builder& builder, const std::string& name, unsigned attempt, const std::string& words) {
    builder.Log("replace: " + name + ", try " + std::to_string(attempt) + ": " + words);
}

void GiveUp(PackageRun& run, const std::string& name, const std::string& words) {
    run.error = "Could not put " + name +
                " in place (is the game still running, or an antivirus scanning it?): " + words +
                ". Press Update again to retry; see launcher.log";
}

// One try: a folder first clears its place (nothing there is fine), then the entry is renamed.
bool TryMove(Builder& builder, const SideEntry& entry, const fs::path& target, std::string& words) {
    if (entry.folder) {
        std::error_code ec;
        if (!RemoveTree(target, ec)) {
            words = ErrorCodeText(ec);
            return false;
        }
        CallHook(builder, "target removed", entry.name);
    }
    // One try each time: the wait between tries is this stage's own.
    if (!MoveFileReplacing(entry.path, target, words, 1)) return false;
    CallHook(builder, "moved", entry.name);
    return true;
}

// The cancel flag is read only after a failed try: a move or a wait is never cut short.
bool MoveEntry(Builder& builder, PackageRun& run, const SideEntry& entry) {
    const fs::path target = builder.PlayFolder() / entry.path.filename();
    for (unsigned attempt = 1;; ++attempt) {
        std::string words;
        if (TryMove(builder, entry, target, words)) return true;
        LogFailedTry(builder, entry.name, attempt, words);
        if (attempt >= kAttempts || builder.cancel) {
            GiveUp(run, entry.name, words);
            return false;
        }
        builder.Report("Putting the new version in place", "Waiting for Windows to let go of " + entry.name, -1.0);
        if (builder.sleepFor) builder.sleepFor(kWait);
    }
}

// A stamp that cannot be written only costs the next run an unpack.
void WriteStamp(const fs::path& file, const std::string& stamp) {
    std::string error;
    WriteFileAtomically(file, stamp, AtomicWriteOptions{}, error);
}

}  // namespace

bool ReplaceGameStage(Builder& builder, PackageRun& run) {
    std::vector<SideEntry> entries;
    if (!ListSideFolder(run.sideFolder, entries, run.fileError)) {
        run.error = "Could not read " + PathToUtf8(run.sideFolder) + ": " + ErrorCodeText(run.fileError) +
                    ", see launcher.log";
        return false;
    }

    // Once an entry has moved, the side folder no longer holds the package the stamp names.
    const fs::path sideStamp = run.sideFolder / kPackageStampName;
    std::string stamp;
    const bool stamped = LoadFile(sideStamp, stamp);
    std::error_code ec;
    if (!RemoveTree(sideStamp, ec)) {
        const std::string words = ErrorCodeText(ec);
        LogFailedTry(builder, kPackageStampName, 1, words);
        GiveUp(run, kPackageStampName, words);
        return false;
    }
    CallHook(builder, "stamp removed", kPackageStampName);

    bool movedAny = false;
    for (const SideEntry& entry : entries) {
        const std::string lower = AsciiLower(entry.name);
        // What stays in the side folder: the user's own folders and settings files under any name
        // that reaches them, and of any type (a file named hdd would otherwise stand against the
        // user's folder for two minutes), and the side folder itself.
        if (lower == kPackageStampName || IsProtectedTopLevelEntry(builder.PlayFolder(), entry.name)) continue;
        if (!MoveEntry(builder, run, entry)) {
            if (!movedAny && stamped) WriteStamp(sideStamp, stamp);
            return false;
        }
        movedAny = true;
    }
    if (stamped) WriteStamp(builder.PlayFolder() / kPackageStampName, stamp);
    return true;
}

}  // namespace launcher
