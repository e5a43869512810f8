#pragma once
// The soundtracks of one music import as the game's Xbox dashboard keeps them: the records, the
// names of the song files and the byte image of the soundtrack database ST.DB.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace launcher {

// What the console holds: 100 soundtracks of at most 504 songs (84 groups of 6).
constexpr std::size_t kMaxSoundtracks = 100;
constexpr std::size_t kMaxSongsPerSoundtrack = 504;

struct Song {
    std::filesystem::path path;  // the user's source file
    std::string name;            // UTF-8, as the game shows it
    std::int32_t ms = 0;         // duration; 0 when none was read
};

// Ids are positions: soundtrack id = index + 1, song id = (soundtrack id << 16) | song index.
struct Soundtrack {
    std::string name;  // UTF-8
    std::vector<Song> songs;
};

// The song file's name relative to the game's MUSIC folder: "%04x/%08x.WMA".
std::string SongPath(std::uint32_t soundtrackId, std::uint32_t songIndex);
// Whether name has SongPath's form: four lower-case hexadecimal digits, '/', eight, ".WMA".
bool IsSongPath(const std::string& name);

// The whole ST.DB. The header lists at most 100 soundtracks; every soundtrack's songs still get
// their group blocks, so the size is 0xCA00 + 0x200 x (the sum of ceil(songs / 6)).
std::string BuildSoundtrackDb(const std::vector<Soundtrack>& soundtracks);

// Writes name at offset as UTF-16LE, at most 31 code units; decodes the UTF-8 leniently (any byte
// that starts no sequence stands for itself), and a character whose units do not fit ends the name.
void WriteDbName(std::string& image, std::size_t offset, const std::string& name);

}  // namespace launcher
