// The music import: the user's music folder becomes the game's Xbox custom soundtracks.
#include <algorithm>
#include <nlohmann/json.hpp>

#include "builder/archive_path.h"
#include "builder/builder.h"
#include "music/music_cache.h"
#include "music/music_scan.h"
#include "music/song_probe.h"
#include "music/soundtrack_db.h"
#include "platform/atomic_file.h"
#include "platform/error_text.h"
#include "platform/file_tree.h"
#include "platform/same_file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr char kStagingName[] = ".staging";
constexpr char kCacheName[] = "launcher-music.json";
constexpr char kDatabaseName[] = "ST.DB";

// One song converted or reused in this import, waiting in the work folder.
struct StagedSong {
    fs::path staged;
    std::string key;        // the source path, the song's key in the cache
    bool cached = false;    // whether the key names the source, so that the cache keeps the song
    std::string finalName;  // relative to MUSIC, once the soundtracks are numbered
};

using MovedBack = std::vector<std::pair<fs::path, fs::path>>;

struct ImportCounts {
    std::size_t total = 0;
    std::size_t converted = 0;
    std::size_t reused = 0;
    std::size_t failed = 0;
    std::size_t unplaced = 0;  // staged, but not moved to their names
};

// The cached file's path under MUSIC, or empty when it is not there to be reused.
fs::path CachedSongFile(const fs::path& music, const std::string& file) {
    if (file.empty()) return {};
    try {
        fs::path path = JoinPath(music, file);
        std::error_code ec;
        return fs::is_regular_file(path, ec) ? path : fs::path();
    } catch (const std::system_error&) {
        return {};
    }
}

std::string RemoveError(const fs::path& path, const std::error_code& ec) {
    return ComposeErrorText("Could not remove " + PathToUtf8(path), static_cast<std::uint32_t>(ec.value()),
                            ErrorCodeText(ec));
}

bool WriteImportFile(const fs::path& path, const std::string& bytes, bool textMode, std::string& error) {
    AtomicWriteOptions options;
    options.platformLineEnds = textMode;
    std::uint32_t code = 0;
    std::string systemText;
    if (WriteFileAtomically(path, bytes, options, code, systemText)) return true;
    error = ComposeErrorText("Could not write " + PathToUtf8(path), code, systemText);
    return false;
}

// The song's file from the last import, when its source is unchanged (same size and time) and the
// file is still there; the song then takes its cached name and duration. A song whose file cannot
// be taken over is converted under the cached name.
bool FindReusableSong(const MusicCache& cache, const fs::path& music, const std::string& key, std::uint64_t size,
                      std::int64_t time, Song& song, fs::path& previous) {
    const std::optional<MusicCacheEntry> cached = FindMusicCacheEntry(cache, key);
    if (!cached || cached->size != size || cached->time != time) return false;
    previous = CachedSongFile(music, cached->file);
    if (previous.empty()) return false;
    song.name = cached->name.value_or(song.name);
    song.ms = cached->ms;
    return true;
}

// Whether the UTF-8 key leads back to the file. A name that is not UTF-8 (bytes on Linux, a lone
// surrogate on Windows) is mended on the way, and its key could then be another song's.
bool KeyNamesFile(const std::string& key, const fs::path& file) {
    try {
        return Utf8Path(key) == file;
    } catch (const std::system_error&) {
        return false;
    }
}

// The programs to run: Debian's by name where programs have no suffix, else those of the ffmpeg tool
// of the tool list, installed first when its stamp is not there.
bool FindMusicPrograms(Builder& builder, std::string& prober, std::string& converter, std::string& error) {
    const std::string suffix = builder.platform->ExeSuffix();
    if (suffix.empty()) {
        prober = "ffprobe";
        converter = "ffmpeg";
        return true;
    }
    if (!builder.LoadToolchain(builder.toolchain, error, false)) return false;
    const auto& tools = builder.toolchain.tools;
    const auto ffmpeg = std::find_if(tools.begin(), tools.end(), [](const Tool& tool) { return tool.id == "ffmpeg"; });
    if (ffmpeg == tools.end()) {
        error = "toolchain.json lists no ffmpeg, which converts the music";
        return false;
    }
    if (!builder.InstallTool(*ffmpeg, error)) return false;
    const fs::path bin = builder.ToolDir("ffmpeg") / "bin";
    prober = PathToUtf8(bin / ("ffprobe" + suffix));
    converter = PathToUtf8(bin / ("ffmpeg" + suffix));
    return true;
}

// Probes the song for its name and duration, then converts it to staged. False when no converted file
// came of it; lastLine then holds the converter's last words.
bool ProbeAndConvert(Platform& platform, const std::string& prober, const std::string& converter,
                     const fs::path& folder, const std::string& source, const fs::path& staged,
                     std::atomic<bool>& cancel, Song& song, std::string& lastLine) {
    ProbedSong probed;
    platform.Run(
        ProbeArguments(prober, source), folder, {},
        [&probed](const std::string& line) { ParseProbeLine(line, probed); }, &cancel);
    // Without a title the name stays: the file's name, or the cached one.
    if (!probed.title.empty()) song.name = probed.artist.empty() ? probed.title : probed.artist + " / " + probed.title;
    song.ms = DurationMs(probed.duration);
    const int code = platform.Run(
        ConvertArguments(converter, source, PathToUtf8(staged)), folder, {},
        [&lastLine](const std::string& line) { KeepConvertOutput(line, lastLine); }, &cancel);
    std::error_code ec;
    return code == 0 && fs::exists(staged, ec);
}

// Numbers the soundtracks that kept songs and names each song's file after its place.
void NumberSoundtracks(std::vector<Soundtrack>& soundtracks, std::vector<StagedSong>& stagedSongs, MusicCache& cache) {
    std::erase_if(soundtracks, [](const Soundtrack& soundtrack) { return soundtrack.songs.empty(); });
    std::size_t next = 0;
    for (std::size_t position = 0; position < soundtracks.size(); ++position) {
        for (std::size_t index = 0; index < soundtracks[position].songs.size(); ++index, ++next) {
            StagedSong& staged = stagedSongs[next];
            staged.finalName = SongPath(static_cast<std::uint32_t>(position + 1), static_cast<std::uint32_t>(index));
            if (staged.cached) cache[staged.key]["file"] = staged.finalName;
        }
    }
}

// Every folder in MUSIC goes but the work folder; files lying in MUSIC itself stay.
void ClearSoundtrackFolders(const fs::path& music) {
    std::vector<fs::path> folders;
    std::error_code ec;
    for (fs::directory_iterator it(music, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        if (it->path().filename() != kStagingName && it->is_directory(statusError)) folders.push_back(it->path());
    }
    for (const fs::path& folder : folders) RemoveTree(folder, ec);
}

// Moves each staged song to its name. The file that stands at the name of a song that could not be
// moved there (held open, or not to be changed) may hold another song's audio: that song is dropped
// from the cache, so that the next import converts it again rather than take that file for its own.
std::size_t PlaceStagedSongs(Builder& builder, const fs::path& music, const std::vector<StagedSong>& stagedSongs,
                             MusicCache& cache) {
    std::size_t unplaced = 0;
    for (const StagedSong& staged : stagedSongs) {
        const fs::path target = music / Utf8Path(staged.finalName);
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        fs::rename(staged.staged, target, ec);
        if (!ec) continue;
        cache.erase(staged.key);
        ++unplaced;
        builder.Log("music: " + staged.key + " could not be put in place as " + staged.finalName + ": " +
                    ErrorCodeText(ec));
    }
    return unplaced;
}

// " (2 could not be converted, 1 could not be put in place: see launcher.log)", or nothing.
std::string TroubleNote(const ImportCounts& counts) {
    std::string note;
    if (counts.failed > 0) note = std::to_string(counts.failed) + " could not be converted";
    if (counts.unplaced > 0) {
        note += (note.empty() ? "" : ", ") + std::to_string(counts.unplaced) + " could not be put in place";
    }
    return note.empty() ? note : " (" + note + ": see launcher.log)";
}

// The folder and every folder above it, as spelled (made absolute) and as the links on the way
// resolve, so that a link to or into a folder is seen where it leads.
std::vector<fs::path> FolderAndParents(const fs::path& folder) {
    std::vector<fs::path> chain;
    std::error_code ec;
    fs::path spelled = fs::absolute(folder, ec);
    if (ec) spelled = folder;
    fs::path resolved = fs::weakly_canonical(folder, ec);
    if (ec) resolved.clear();
    for (const fs::path& start : {spelled.lexically_normal(), resolved}) {
        for (fs::path path = start; !path.empty(); path = path.parent_path()) {
            chain.push_back(path);
            if (path == path.parent_path()) break;
        }
    }
    return chain;
}

// Whether folder is one of the real folders below music. Looked for there as well as up folder's
// parents, since on Windows the path a junction leads to is not read back here.
bool AmongFoldersBelow(const fs::path& music, const fs::path& folder) {
    bool found = false;
    std::error_code ec;
    WalkTree(
        music,
        [&](const fs::path& path, EntryKind kind) {
            if (!found && kind == EntryKind::Folder) found = SameFile(path, folder);
        },
        ec);
    return found;
}

// How the chosen folder stands to the game's music folder, by what the system says each folder is
// (not by how it is spelled); empty when they are apart.
std::string OverlapWithMusic(const fs::path& folder, const fs::path& music) {
    if (SameFile(folder, music)) return "is";
    for (const fs::path& parent : FolderAndParents(folder)) {
        if (SameFile(parent, music)) return "lies inside";
    }
    if (AmongFoldersBelow(music, folder)) return "lies inside";
    for (const fs::path& parent : FolderAndParents(music)) {
        if (SameFile(parent, folder)) return "holds";
    }
    return {};
}

}  // namespace

fs::path Builder::MusicFolder() const { return PlayFolder() / "hdd" / "E" / "TDATA" / "FFFE0000" / "MUSIC"; }

void Builder::CancelMusicImport(const MovedBack& movedBack, const fs::path& staging, std::string& error) {
    for (const auto& [staged, from] : movedBack) {
        std::error_code ec;
        fs::rename(staged, from, ec);
    }
    std::error_code ec;
    RemoveTree(staging, ec);
    error = "cancelled";
}

bool Builder::ImportMusic(const fs::path& folder, std::string& result, std::string& error) {
    cancel = false;
    const std::string folderText = PathToUtf8(folder);
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = "The music folder is not there: " + folderText;
        return false;
    }

    // Each import replaces the folders in MUSIC: the user's own music must not be among them.
    const fs::path music = MusicFolder();
    if (const std::string overlap = OverlapWithMusic(folder, music); !overlap.empty()) {
        error = "The music folder " + overlap + " the game's music folder, which each import empties: " +
                PathToUtf8(music) + ". Choose a folder outside it.";
        return false;
    }

    std::string prober;
    std::string converter;
    if (!FindMusicPrograms(*this, prober, converter, error)) return false;

    const fs::path staging = music / kStagingName;
    const fs::path cachePath = music / kCacheName;
    const fs::path databasePath = music / kDatabaseName;

    std::error_code databaseError;
    std::error_code cacheError;
    const bool hasDatabase = fs::exists(databasePath, databaseError) && !databaseError;
    const bool hasCache = fs::exists(cachePath, cacheError) && !cacheError;
    if (hasDatabase && !hasCache) {
        error = "The game's music folder holds soundtracks not made here (copied from an Xbox?): " + PathToUtf8(music) +
                ". Move them away to use a folder of your own music.";
        return false;
    }

    std::vector<std::string> notes;
    std::vector<Soundtrack> soundtracks = ScanMusicFolder(folder, notes, &cancel);
    if (cancel) {
        CancelMusicImport({}, staging, error);
        return false;
    }
    for (const std::string& note : notes) Log("music: " + note);
    ImportCounts counts;
    for (const Soundtrack& soundtrack : soundtracks) counts.total += soundtrack.songs.size();
    if (counts.total == 0) {
        error = "No music found in " + folderText + " (MP3, FLAC, OGG, Opus, M4A, AAC, WAV, WMA or AIFF files)";
        return false;
    }

    const MusicCache oldCache = LoadMusicCache(cachePath);
    MusicCache newCache = MusicCache::object();
    RemoveTree(staging, ec);
    fs::create_directories(staging, ec);

    std::vector<StagedSong> stagedSongs;
    MovedBack movedBack;
    std::size_t songNumber = 0;
    for (std::size_t position = 0; position < soundtracks.size(); ++position) {
        Soundtrack& soundtrack = soundtracks[position];
        const auto provisionalId = static_cast<std::uint32_t>(position + 1);
        std::vector<Song> accepted;
        for (Song& song : soundtrack.songs) {
            ++songNumber;
            if (cancel) {
                CancelMusicImport(movedBack, staging, error);
                return false;
            }
            Report("Converting your music",
                   std::to_string(songNumber) + " of " + std::to_string(counts.total) + ": " +
                       PathToUtf8(song.path.filename()),
                   static_cast<double>(songNumber - 1) / static_cast<double>(counts.total));
            const std::string key = PathToUtf8(song.path);
            const bool cached = KeyNamesFile(key, song.path);
            const std::uint64_t size = SourceFileSize(song.path);
            const std::int64_t time = SourceFileTime(song.path);
            const fs::path staged = staging / (std::to_string(stagedSongs.size()) + ".WMA");

            bool ready = false;
            if (fs::path previous; cached && FindReusableSong(oldCache, music, key, size, time, song, previous)) {
                std::error_code renameError;
                fs::rename(previous, staged, renameError);
                if (!renameError) {
                    movedBack.emplace_back(staged, previous);
                    ++counts.reused;
                    ready = true;
                }
            }
            if (!ready) {
                std::string lastLine;
                if (ProbeAndConvert(*platform, prober, converter, folder, key, staged, cancel, song, lastLine)) {
                    ++counts.converted;
                    ready = true;
                } else if (cancel) {
                    CancelMusicImport(movedBack, staging, error);
                    return false;
                } else {
                    Log("music: " + key + " could not be converted" + (lastLine.empty() ? "" : ": " + lastLine));
                    ++counts.failed;
                }
            }
            if (!ready) continue;
            // One text for the database and the cache, which would otherwise each mend bad bytes their own way.
            song.name = ToUtf8(ToWide(song.name));
            const std::string finalName = SongPath(provisionalId, static_cast<std::uint32_t>(accepted.size()));
            stagedSongs.push_back(StagedSong{staged, key, cached, finalName});
            if (cached) SetMusicCacheEntry(newCache, key, size, time, finalName, song.name, song.ms);
            accepted.push_back(song);
        }
        soundtrack.songs = std::move(accepted);
        // A folder's name is mended as a song's is.
        soundtrack.name = ToUtf8(ToWide(soundtrack.name));
    }

    NumberSoundtracks(soundtracks, stagedSongs, newCache);

    // The old database and cache go first: from here until the new ones are written, the song files
    // do not match them, and a cache that outlived its files would give a later import another
    // song's file under this one's name.
    for (const fs::path& stale : {databasePath, cachePath}) {
        if (!RemoveTree(stale, ec)) {
            const std::error_code removeError = ec;
            CancelMusicImport(movedBack, staging, error);
            error = RemoveError(stale, removeError);
            return false;
        }
    }

    ClearSoundtrackFolders(music);
    counts.unplaced = PlaceStagedSongs(*this, music, stagedSongs, newCache);
    RemoveTree(staging, ec);

    // The cache before the database: a database without its cache would refuse every later import.
    if (!WriteImportFile(cachePath, MusicCacheText(newCache), true, error)) return false;
    if (!WriteImportFile(databasePath, BuildSoundtrackDb(soundtracks), false, error)) return false;
    SaveSetting("music", folderText);

    result = std::to_string(stagedSongs.size()) + " songs in " + std::to_string(soundtracks.size()) + " soundtracks" +
             TroubleNote(counts);
    Log("music: " + result + ", " + std::to_string(counts.converted) + " converted, " + std::to_string(counts.reused) +
        " kept from last time, from " + folderText);
    Report("Ready", "", 1.0);
    return true;
}

}  // namespace launcher
