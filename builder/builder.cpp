#include "builder/builder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <thread>

#include "platform/local_time.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

// strftime of the current local time; empty when the time cannot be converted.
std::string LocalTimeText(const char* format, size_t bufferSize) {
    std::tm local{};
    if (!ToLocalTime(std::time(nullptr), local)) return {};
    std::string text(bufferSize, '\0');
    text.resize(std::strftime(text.data(), text.size(), format, &local));
    return text;
}

template <typename... Args>
std::string Printf(size_t bufferSize, const char* format, Args... args) {
    std::string text(bufferSize, '\0');
    const int length = std::snprintf(text.data(), text.size(), format, args...);
    text.resize(length < 0 ? 0 : std::min(static_cast<size_t>(length), bufferSize - 1));
    return text;
}

// Sleeps until the steady clock has passed now + wait (the deadline saturating), in whole
// milliseconds and never less than the time left; a system sleep that ends early adds a round.
void SleepOnSteadyClock(std::chrono::milliseconds wait) {
    using Clock = std::chrono::steady_clock;
    using std::chrono::milliseconds;
    const Clock::time_point now = Clock::now();
    const auto room = std::chrono::duration_cast<milliseconds>(Clock::time_point::max() - now);
    const Clock::time_point deadline = wait < room ? now + wait : Clock::time_point::max();
    for (Clock::time_point at = now; at <= deadline; at = Clock::now()) {
        std::this_thread::sleep_for(std::max(milliseconds(1), std::chrono::ceil<milliseconds>(deadline - at)));
    }
}

// Text from outside (a release's tag, a server's answer, a program's output) may hold line breaks
// and other control characters: escaped, every event stays one line of launcher.log. Tabs stay.
std::string EscapeControlCharacters(const std::string& line) {
    std::string escaped;
    escaped.reserve(line.size());
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte != 0x7F) || c == '\t') {
            escaped += c;
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else {
            escaped += Printf(8, "\\x%02x", byte);
        }
    }
    return escaped;
}

}  // namespace

Builder::Builder(const Game& game, const fs::path& baseFolder, Http* http, Platform* platform)
    : sleepFor(SleepOnSteadyClock), game(game), baseFolder(baseFolder), http(http), platform(platform) {}

void Builder::Report(const std::string& title, const std::string& detail, double fraction) {
    if (statusCallback) statusCallback(Status{title, detail, fraction});
}

void Builder::Log(const std::string& text) {
    const std::string line = EscapeControlCharacters(text);
    std::lock_guard<std::mutex> lock(logMutex);
    std::error_code ec;
    fs::create_directories(baseFolder, ec);
    const std::string prefix = LocalTimeText("%H:%M:%S ", 16);
    {
        std::ofstream file(baseFolder / "launcher.log", std::ios::app);
        if (file) file << prefix << line << "\n";
    }
    if (logCallback) logCallback(line);
}

void Builder::BeginBuildLog() {
    stages.clear();
    Log("build started " + LocalTimeText("%Y-%m-%d", 32) + ", " + std::to_string(std::thread::hardware_concurrency()) +
        " logical processors");
}

bool Builder::Stage(const std::string& name, const std::function<bool()>& body) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = body();
    const auto end = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count() / 1e9;
    stages.push_back(StageTime{name, seconds});
    Log("stage " + name + ": " + Printf(32, "%.1f s", seconds) + (ok ? "" : " (stopped)"));
    return ok;
}

void Builder::LogTiming() {
    double sum = 0.0;
    for (const StageTime& stage : stages) sum += stage.seconds;
    Log(Printf(64, "timing: %zu stages, %.1f s in all", stages.size(), sum));
    for (const StageTime& stage : stages) {
        const double percent = sum > 0 ? stage.seconds * 100.0 / sum : 0.0;
        Log("timing: " + Printf(64, "%9.1f s %5.1f%%  ", stage.seconds, percent) + stage.name);
    }
}

fs::path Builder::PlayFolder() const { return baseFolder / "play"; }

fs::path Builder::ToolDir(const std::string& id) const { return baseFolder / "tools" / fs::path(id); }

fs::path Builder::GameExePath() const { return PlayFolder() / fs::path(game.exe + platform->ExeSuffix()); }

bool Builder::IsInstalled() const {
    std::error_code ec;
    if (!fs::exists(GameExePath(), ec)) return false;
    if (!InPackageMode(game)) return true;
    return fs::exists(PlayFolder() / fs::path(game.exe + ".dll"), ec);
}

std::string FormatSize(std::uint64_t bytes) {
    constexpr std::uint64_t kGiB = 1ull << 30;
    if (bytes < kGiB) return Printf(32, "%.0f MB", static_cast<double>(bytes) * 0x1p-20);
    return Printf(32, "%.1f GB", static_cast<double>(bytes) * 0x1p-30);
}

}  // namespace launcher
