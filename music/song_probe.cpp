#include "music/song_probe.h"

#include <cmath>
#include <cstdlib>

#include "platform/text.h"

namespace launcher {
namespace {

constexpr char kDuration[] = "duration=";
constexpr char kTitle[] = "tag:title=";
constexpr char kArtist[] = "tag:artist=";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Seconds whose milliseconds fit a signed 64-bit integer; anything else (N/A, inf, nan) is 0.
double ReadDuration(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end == text.c_str()) return 0.0;
    const double ms = seconds * 1000.0;
    if (!(ms > -0x1p63 && ms < 0x1p63)) return 0.0;
    return seconds;
}

}  // namespace

std::vector<std::string> ProbeArguments(const std::string& prober, const std::string& source) {
    return {prober,
            "-v",
            "error",
            "-select_streams",
            "a",
            "-show_entries",
            "format=duration:format_tags=title,artist:stream_tags=title,artist",
            "-of",
            "default=noprint_wrappers=1",
            source};
}

std::vector<std::string> ConvertArguments(const std::string& converter, const std::string& source,
                                          const std::string& staged) {
    return {converter, "-nostdin", "-y",  "-v",    "error", "-i",    source, "-vn",  "-map_metadata", "-1",
            "-ac",     "2",        "-ar", "44100", "-c:a",  "wmav2", "-b:a", "160k", staged};
}

void ParseProbeLine(const std::string& line, ProbedSong& song) {
    if (StartsWith(line, kDuration)) {
        song.duration = ReadDuration(line.substr(sizeof kDuration - 1));
        return;
    }
    const std::string lower = AsciiLower(line.substr(0, sizeof kArtist - 1));
    if (StartsWith(lower, kTitle)) {
        song.title = line.substr(sizeof kTitle - 1);
    } else if (StartsWith(lower, kArtist)) {
        song.artist = line.substr(sizeof kArtist - 1);
    }
}

void KeepConvertOutput(const std::string& line, std::string& kept) { kept = line; }

std::int32_t DurationMs(double seconds) {
    const double ms = seconds * 1000.0;
    if (!(ms > -0x1p63 && ms < 0x1p63)) return 0;
    // A 64-bit count taken modulo 2^32, as the database's field holds it.
    return static_cast<std::int32_t>(static_cast<std::int64_t>(ms));
}

}  // namespace launcher
