#include "music/music_scan.h"

#include <algorithm>
#include <array>

#include "platform/same_file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

struct Listing {
    std::vector<fs::path> folders;
    std::vector<fs::path> musicFiles;
};

// Links are followed. A folder that cannot be listed, even halfway, lists as empty.
Listing ListFolder(const fs::path& folder) {
    Listing listing;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        const fs::file_status status = it->status(statusError);
        if (statusError) continue;
        if (fs::is_directory(status)) {
            listing.folders.push_back(it->path());
        } else if (fs::is_regular_file(status) && IsMusicFile(it->path())) {
            listing.musicFiles.push_back(it->path());
        }
    }
    if (ec) return {};
    std::stable_sort(listing.folders.begin(), listing.folders.end(), CompareByFileName);
    std::stable_sort(listing.musicFiles.begin(), listing.musicFiles.end(), CompareByFileName);
    return listing;
}

// The folders from the root down to the one being listed. Links are followed, so a link to a
// folder on this path (to ".", to a parent) would lead round for ever; it is left out, told by what
// the system says the folder is rather than by its name.
struct Walk {
    std::vector<fs::path> path;
    const std::atomic<bool>* cancel = nullptr;

    bool Stopped() const { return cancel != nullptr && *cancel; }
    bool OnPath(const fs::path& folder) const {
        return std::any_of(path.begin(), path.end(), [&](const fs::path& above) { return SameFile(folder, above); });
    }
};

void CollectBelow(const fs::path& folder, Walk& walk, std::vector<fs::path>& songs) {
    if (walk.Stopped()) return;
    const Listing listing = ListFolder(folder);
    songs.insert(songs.end(), listing.musicFiles.begin(), listing.musicFiles.end());
    walk.path.push_back(folder);
    for (const fs::path& subfolder : listing.folders) {
        if (!walk.OnPath(subfolder)) CollectBelow(subfolder, walk, songs);
    }
    walk.path.pop_back();
}

// The last component that is not empty, so that "Music/" is named "Music" as "Music" is.
std::string FolderName(const fs::path& folder) {
    fs::path last;
    for (const fs::path& part : folder.relative_path()) {
        if (!part.empty()) last = part;
    }
    return PathToUtf8(last);
}

}  // namespace

bool IsMusicFile(const fs::path& path) {
    static constexpr std::array<const char*, 10> kExtensions{".mp3", ".flac", ".ogg", ".opus", ".m4a",
                                                             ".aac", ".wav",  ".wma", ".aiff", ".aif"};
    const std::string extension = AsciiLower(PathToUtf8(path.extension()));
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

bool CompareByFileName(const fs::path& a, const fs::path& b) {
    // std::string compares its chars as unsigned bytes, a prefix first.
    return AsciiLower(PathToUtf8(a.filename())) < AsciiLower(PathToUtf8(b.filename()));
}

void CollectSongs(const fs::path& folder, std::vector<fs::path>& songs, const std::atomic<bool>* cancel) {
    Walk walk{{}, cancel};
    CollectBelow(folder, walk, songs);
}

void AddSoundtrack(std::vector<Soundtrack>& soundtracks, std::vector<std::string>& notes, const std::string& name,
                   const std::vector<fs::path>& songs) {
    if (songs.empty()) return;
    if (soundtracks.size() >= kMaxSoundtracks) {
        notes.push_back("\"" + name + "\" left out: an Xbox holds " + std::to_string(kMaxSoundtracks) + " soundtracks");
        return;
    }
    Soundtrack soundtrack;
    soundtrack.name = name;
    for (const fs::path& path : songs) {
        if (soundtrack.songs.size() == kMaxSongsPerSoundtrack) {
            notes.push_back("\"" + name + "\": songs past " + std::to_string(kMaxSongsPerSoundtrack) + " left out");
            break;
        }
        soundtrack.songs.push_back(Song{path, PathToUtf8(path.stem()), 0});
    }
    soundtracks.push_back(std::move(soundtrack));
}

std::vector<Soundtrack> ScanMusicFolder(const fs::path& root, std::vector<std::string>& notes,
                                        const std::atomic<bool>* cancel) {
    std::vector<Soundtrack> soundtracks;
    const Listing listing = ListFolder(root);
    AddSoundtrack(soundtracks, notes, FolderName(root), listing.musicFiles);
    Walk walk{{root}, cancel};
    for (const fs::path& folder : listing.folders) {
        if (walk.OnPath(folder)) continue;
        std::vector<fs::path> songs;
        CollectBelow(folder, walk, songs);
        if (walk.Stopped()) return {};
        AddSoundtrack(soundtracks, notes, FolderName(folder), songs);
    }
    return soundtracks;
}

}  // namespace launcher
