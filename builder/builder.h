#pragma once
// The worker object: every long operation's status reports, log lines, timed stages and folders.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
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
    // How the package build waits between two tries of a move into the play folder: by default a
    // sleep until the time has passed on the steady clock. Tests record the waits instead.
    std::function<void(std::chrono::milliseconds)> sleepFor;
    // Called at "stamp removed", "target removed" and "moved" with the side folder entry's name
    // while the new version is moved into place; empty in the product. Tests end the process here.
    std::function<void(const std::string& point, const std::string& name)> replaceHook;
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

    // launcher.json: one string setting (empty when it is missing or no string); the copy of the
    // game to use, or empty.
    void SaveSetting(const std::string& key, const std::string& value);
    std::string ReadStringSetting(const std::string& key);
    std::filesystem::path ChosenGamePath();

    // What the window asks between tasks.
    bool GameCodeMissing() const;
    std::string BuiltVersion();
    bool StartGame(std::string& error);
    bool ReadPlayAtStart();
    void WritePlayAtStart(bool on);
    std::filesystem::path ReadMusicFolder();

    // Makes the game from the port's prebuilt package: beside the launcher or downloaded, unpacked
    // into play/.next, its code prepared there, then moved over the installed game. On failure
    // error says why ("cancelled" when stopped before the move).
    bool BuildPackage(std::string& error);
    // The package file name for the user's copy of the game, or "" when none is known.
    std::string PackageForGame();
};

// The whole file byte for byte into text; false, with text untouched, when it cannot be opened.
bool LoadFile(const std::filesystem::path& file, std::string& text);

// "%.0f MB" below 2^30 bytes, "%.1f GB" from there on (MB = 2^20 bytes).
std::string FormatSize(std::uint64_t bytes);

}  // namespace launcher
