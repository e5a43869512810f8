#pragma once
// The user's music folder as soundtracks: the songs lying in it form the first soundtrack, named
// after the folder, and each subfolder one more, holding every song below it. The console's limits
// apply (100 soundtracks, 504 songs each); what they leave out is told in notes. Only directory
// listings are read, and nothing here throws for what it finds on the disk.

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "music/soundtrack_db.h"

namespace launcher {

// MP3, FLAC, OGG, Opus, M4A, AAC, WAV, WMA or AIFF by the extension, in any case.
bool IsMusicFile(const std::filesystem::path& path);

// File names in UTF-8 with ASCII letters lower-cased, compared as unsigned bytes, a prefix first.
bool CompareByFileName(const std::filesystem::path& a, const std::filesystem::path& b);

// Appends the folder's music files, then those of each subfolder (depth first), each list sorted.
// Links are followed, but never into a folder that the walk is already in. A set cancel flag ends
// the walk where it is.
void CollectSongs(const std::filesystem::path& folder, std::vector<std::filesystem::path>& songs,
                  const std::atomic<bool>* cancel = nullptr);

// Appends a soundtrack of the given songs (stem as name, 0 ms) within the limits; nothing for no songs.
void AddSoundtrack(std::vector<Soundtrack>& soundtracks, std::vector<std::string>& notes, const std::string& name,
                   const std::vector<std::filesystem::path>& songs);

// A set cancel flag ends the scan with no soundtrack.
std::vector<Soundtrack> ScanMusicFolder(const std::filesystem::path& root, std::vector<std::string>& notes,
                                        const std::atomic<bool>* cancel = nullptr);

}  // namespace launcher
