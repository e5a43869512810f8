#pragma once
// launcher-music.json: what the last completed music import made of each song, so that the next
// one converts only songs that are new or changed. Keyed by the source file's full path (UTF-8).
//
//   {"<source path>": {"file": "0001/00010000.WMA", "ms": 1000, "name": "Artist / Title",
//                      "size": 123456, "time": 133000000000000000}, ...}

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace launcher {

using MusicCache = nlohmann::json;  // an object, members sorted by their keys' bytes

// What a source file's size and time read as when the system cannot tell them.
constexpr std::uint64_t kUnknownFileSize = ~std::uint64_t{0};
constexpr std::int64_t kUnknownFileTime = INT64_MIN;

std::uint64_t SourceFileSize(const std::filesystem::path& file);
// The last-write time in 100-nanosecond ticks since 1601-01-01 UTC, the same unit on every build.
std::int64_t SourceFileTime(const std::filesystem::path& file);

struct MusicCacheEntry {
    std::uint64_t size = 0;
    std::int64_t time = 0;
    std::string file;  // relative to the game's MUSIC folder; empty when missing or unsafe
    std::optional<std::string> name;
    std::int32_t ms = 0;
};

// The cache file as an object; a missing, unreadable or malformed one reads as empty.
MusicCache LoadMusicCache(const std::filesystem::path& file);

// The member for key. The file was only ever written by the import, but may have been edited: a
// member that is not an object is absent, a value of another type reads as its default, and so does
// a "file" that is not a song file's name as SongPath makes it (which keeps it inside MUSIC, and off
// its work folder and its other files).
std::optional<MusicCacheEntry> FindMusicCacheEntry(const MusicCache& cache, const std::string& key);

void SetMusicCacheEntry(MusicCache& cache, const std::string& key, std::uint64_t size, std::int64_t time,
                        const std::string& file, const std::string& name, std::int32_t ms);

// The text to write (indent 1, keys sorted); bytes that are not UTF-8 become U+FFFD.
std::string MusicCacheText(const MusicCache& cache);

}  // namespace launcher
