#include "tests/support/fake_music_tools.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/platform.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher::test {
namespace {

// An empty entry stands for the song's path (ffprobe, ffmpeg's input) or the output (ffmpeg).
const std::vector<std::string> kProbeArguments{"-v",
                                               "error",
                                               "-select_streams",
                                               "a",
                                               "-show_entries",
                                               "format=duration:format_tags=title,artist:stream_tags=title,artist",
                                               "-of",
                                               "default=noprint_wrappers=1",
                                               ""};
const std::vector<std::string> kConvertArguments{"-nostdin",      "-y",   "-v",   "error", "-i",  "",      "-vn",
                                                 "-map_metadata", "-1",   "-ac",  "2",     "-ar", "44100", "-c:a",
                                                 "wmav2",         "-b:a", "160k", ""};

// The first difference from the expected list, or "" when the arguments fit it.
std::string Difference(const std::vector<std::string>& args, const std::vector<std::string>& expected) {
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i >= args.size()) return "argument " + std::to_string(i + 1) + " is missing";
        if (expected[i].empty() ? args[i].empty() : args[i] != expected[i]) {
            return "argument " + std::to_string(i + 1) + " is \"" + args[i] + "\", not \"" +
                   (expected[i].empty() ? "a path" : expected[i]) + "\"";
        }
    }
    if (args.size() > expected.size()) return "argument " + std::to_string(expected.size() + 1) + " is one too many";
    return "";
}

bool Read(const std::string& file, std::string& text) {
    std::ifstream in(Utf8Path(file), std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text = bytes.str();
    return true;
}

void Print(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void NoteRun(const std::string& program, const std::string& source) {
    const std::string runs = MakePlatform()->GetEnv("HELPER_RUNS");
    if (runs.empty()) return;
    std::ofstream out(Utf8Path(runs), std::ios::binary | std::ios::app);
    out << program << " " << source << "\n";
}

// Refuses a command line other than the import's, naming the difference.
bool Refused(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& expected) {
    const std::string difference = Difference(args, expected);
    if (difference.empty()) return false;
    Print(stderr, "fake " + program + ": " + difference + "\n");
    return true;
}

}  // namespace

int FakeFfprobe(const std::vector<std::string>& args) {
    if (Refused("ffprobe", args, kProbeArguments)) return 2;
    const std::string& source = args.back();
    NoteRun("ffprobe", source);
    std::string lines;
    if (!Read(source + ".probe", lines)) {
        Print(stderr, source + ": no .probe beside it\n");
        return 1;
    }
    Print(stdout, lines);
    return 0;
}

int FakeFfmpeg(const std::vector<std::string>& args) {
    if (Refused("ffmpeg", args, kConvertArguments)) return 2;
    const std::string& source = args[5];
    const std::string& output = args.back();
    NoteRun("ffmpeg", source);
    std::string text;
    if (Read(source + ".fail", text)) {
        Print(stderr, text);
        return 1;
    }
    if (Read(source + ".sleep", text)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(text.c_str())));
    }
    if (!Read(source + ".converted", text)) {
        Print(stderr, source + ": no .converted beside it\n");
        return 1;
    }
    std::ofstream out(Utf8Path(output), std::ios::binary | std::ios::trunc);
    out << text;
    return out ? 0 : 1;
}

}  // namespace launcher::test
