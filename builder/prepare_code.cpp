// The "compile game code" stage: the port's own run with "--prepare-code", and the lines it prints:
//   progress KIND FILES_DONE FILES_TOTAL BYTES_DONE BYTES_TOTAL   (KIND is not used)
//   failed REASON                                                  (the last one is the reason)
//   [...] lines, kept in the log only when they hold "Game code:"; every other line is logged.
#include <chrono>
#include <climits>
#include <cstdio>

#include "builder/package_pipeline.h"
#include "platform/text.h"

namespace launcher {
namespace {

std::int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string BuildTitle(const Builder& builder) { return "Building " + builder.game.title + " for this PC"; }

// The reason becomes the error text the window shows: its first kMaxReason bytes, never cut inside
// a UTF-8 sequence.
constexpr std::size_t kMaxReason = 500;

std::string Reason(const std::string& line, std::size_t from) {
    return std::string(Utf8Prefix(std::string_view(line).substr(from), kMaxReason));
}

bool StartsWith(const std::string& text, const char* prefix, size_t length) {
    return text.size() >= length && text.compare(0, length, prefix) == 0;
}

}  // namespace

std::string PrepareCodeDetail(std::uint64_t filesDone, std::uint64_t filesTotal, std::uint64_t bytesDone,
                              std::uint64_t bytesTotal, double elapsedSeconds) {
    if (filesDone >= filesTotal) return "Finishing the build";
    std::string detail = std::to_string(filesDone) + " of " + std::to_string(filesTotal) + " files";
    // More bytes done than in all gives no sensible estimate; the count alone is shown.
    if (elapsedSeconds > 5.0 && bytesDone != 0 && bytesDone <= bytesTotal) {
        double seconds =
            elapsedSeconds * static_cast<double>(bytesTotal - bytesDone) / static_cast<double>(bytesDone) + 0.5;
        // A tiny share done early on gives an estimate beyond any int; the bound leaves room for
        // the rounding to minutes below.
        constexpr double kLongest = static_cast<double>(INT_MAX - 30);
        if (!(seconds < kLongest)) seconds = kLongest;
        if (!(seconds > 0.0)) seconds = 0.0;
        const int left = static_cast<int>(seconds);
        if (left < 60) {
            detail += ", under a minute left";
        } else {
            detail += ", about " + std::to_string((left + 30) / 60) + " min left";
        }
    }
    return detail;
}

void PrepareCodeOutputLine(Builder& builder, PackageRun& run, const std::string& line) {
    if (StartsWith(line, "progress ", 9)) {
        int kind = 0;
        unsigned long long filesDone = 0, filesTotal = 0, bytesDone = 0, bytesTotal = 0;
        if (std::sscanf(line.c_str(), "progress %d %llu %llu %llu %llu", &kind, &filesDone, &filesTotal, &bytesDone,
                        &bytesTotal) < 5) {
            return;
        }
        if (filesTotal == 0) return;
        const double elapsed = static_cast<double>(SteadyNanoseconds() - run.prepareCodeStart) / 1e9;
        const double fraction =
            bytesTotal != 0 ? static_cast<double>(bytesDone) / static_cast<double>(bytesTotal) : -1.0;
        builder.Report(BuildTitle(builder), PrepareCodeDetail(filesDone, filesTotal, bytesDone, bytesTotal, elapsed),
                       fraction);
        return;
    }
    if (line.empty() || line[0] != '[' || line.find("Game code:") != std::string::npos) builder.Log("game: " + line);
    if (StartsWith(line, "failed ", 7)) run.failureReason = Reason(line, 7);
}

bool PrepareCodeStage(Builder& builder, PackageRun& run) {
    builder.Report(BuildTitle(builder), "Starting", -1.0);
    run.prepareCodeStart = SteadyNanoseconds();
    const std::vector<std::string> arguments{PathToUtf8(run.sideFolder / builder.GameExePath().filename()),
                                             "--prepare-code"};
    const int code = builder.platform->Run(
        arguments, run.sideFolder, {},
        [&builder, &run](const std::string& line) { PrepareCodeOutputLine(builder, run, line); }, &builder.cancel);
    return code == 0;
}

}  // namespace launcher
