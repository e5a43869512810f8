#pragma once
// The two programs of the music import: the prober (ffprobe), which tells a song's duration, title
// and artist, and the converter (ffmpeg), which makes the game's WMA file of it.

#include <cstdint>
#include <string>
#include <vector>

namespace launcher {

struct ProbedSong {
    double duration = 0.0;  // seconds
    std::string title;      // bytes as the prober gave them
    std::string artist;
};

// The prober's command line. Only the audio streams are asked: a cover picture's description would
// print as a stream title. OGG and Opus keep their tags on the stream, other formats on the file;
// the file's lines come last and win.
std::vector<std::string> ProbeArguments(const std::string& prober, const std::string& source);
// The converter's command line: stereo WMA (wmav2) at 44100 Hz and 160 kb/s, without the source's
// tags or pictures.
std::vector<std::string> ConvertArguments(const std::string& converter, const std::string& source,
                                          const std::string& staged);

// One line of the prober's output: "duration=" (exact case) sets the duration, which reads as 0 when
// it is no number, not finite, or too large for 64-bit milliseconds; "tag:title=" and "tag:artist="
// (any case) set the title and artist; a later line replaces an earlier one; others are ignored.
void ParseProbeLine(const std::string& line, ProbedSong& song);
// One line of the converter's output: the last one is kept, to say why a conversion failed.
void KeepConvertOutput(const std::string& line, std::string& kept);

// The duration in whole milliseconds, truncated, kept in 32 bits as the database holds it.
std::int32_t DurationMs(double seconds);

}  // namespace launcher
