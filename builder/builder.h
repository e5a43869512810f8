#pragma once
// The worker object: every long operation's status reports, log lines, timed stages and folders.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "builder/status.h"
#include "builder/toolchain.h"
#include "game/game.h"
#include "platform/platform.h"

namespace launcher {

struct StageTime {
    std::string name;
    double seconds = 0.0;
};

class Builder {
public:
    Builder(const Game& game, const std::filesystem::path& baseFolder, Http* http, Platform* platform);

    std::function<void(const Status&)> statusCallback;
    // Runs while the log mutex is held: it must never log.
    std::function<void(const std::string&)> logCallback;
    std::atomic<bool> cancel{false};
    std::string builtinToolList;
    std::atomic<int> phase{0};
    std::vector<StageTime> stages;
    Game game;
    std::filesystem::path baseFolder;
    Http* http;
    Platform* platform;
    Toolchain toolchain;
    std::mutex logMutex;
    // Guards every read and write of launcher.json: the window and the task thread both write it.
    std::mutex settingsMutex;

    // Reports made before the status callback is set are dropped.
    void Report(const std::string& title, const std::string& detail, double fraction);
    // Appends one time-stamped line to launcher.log and hands the bare line to the log callback.
    void Log(const std::string& line);
    void BeginBuildLog();
    // Runs body as a named, timed stage; the stage is recorded whether it succeeds or not.
    bool Stage(const std::string& name, const std::function<bool()>& body);
    void LogTiming();

    std::filesystem::path PlayFolder() const;
    std::filesystem::path ToolDir(const std::string& id) const;
    std::filesystem::path GameExePath() const;
    bool IsInstalled() const;

    // launcher.json: one string setting; the copy of the game to use, or empty.
    void SaveSetting(const std::string& key, const std::string& value);
    std::filesystem::path ChosenGamePath();

    // What the window asks between tasks.
    bool GameCodeMissing() const;
    std::string BuiltVersion();
    bool StartGame(std::string& error);
    bool ReadPlayAtStart();
    void WritePlayAtStart(bool on);
    std::filesystem::path ReadMusicFolder();

    // Unpacks the game's package into the side folder (made here) through PackageEntryFilter,
    // reporting byte progress; error receives the extraction's message.
    bool UnpackPackageStage(const std::filesystem::path& package, const std::filesystem::path& sideFolder,
                            std::string& error);
    // The unpack's status: the fraction of bytes written, or no bar for an empty package.
    void PackageUnpackProgress(std::uint64_t done, std::uint64_t total);

    // The game's soundtracks: play/hdd/E/TDATA/FFFE0000/MUSIC.
    std::filesystem::path MusicFolder() const;
    // Converts the user's music folder into the game's soundtracks, reusing the songs the last import
    // converted when their source is unchanged. A stop leaves the previous soundtracks as they were.
    bool ImportMusic(const std::filesystem::path& folder, std::string& result, std::string& error);
    // Undoes a stopped import: each reused song, moved to {staged path, its old place}, goes back,
    // and the work folder goes; error becomes "cancelled".
    void CancelMusicImport(const std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& movedBack,
                           const std::filesystem::path& staging, std::string& error);
};

// The whole file byte for byte into text; false, with text untouched, when it cannot be opened.
bool LoadFile(const std::filesystem::path& file, std::string& text);

// "%.0f MB" below 2^30 bytes, "%.1f GB" from there on (MB = 2^20 bytes).
std::string FormatSize(std::uint64_t bytes);

}  // namespace launcher
