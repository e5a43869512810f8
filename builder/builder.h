#pragma once
// The worker object: every long operation's status reports, log lines, timed stages and folders.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "builder/status.h"
#include "builder/toolchain.h"
#include "game/game.h"
#include "platform/platform.h"

namespace launcher {

struct GameSource;

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
    // Appends one time-stamped line to launcher.log and hands the bare line to the log callback;
    // control characters in text (a line break in a release's tag, say) are written escaped.
    void Log(const std::string& text);
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

    // Makes the identified copy the game's play/assets (in place, a folder link, a hard link or a
    // copy) and records it as the chosen game. On failure error says why and nothing is recorded.
    bool AdoptGame(const GameSource& chosen, std::string& error);

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

    // Fills toolchain from the tool list: the one fetched now (which then becomes the cached
    // toolchain.json), else the cached one, else builtinToolList; with visualStudio, the "msvc" and
    // "winsdk" tools too. After a fallback error keeps the fetch's failure even on success.
    bool LoadToolchain(Toolchain& toolchain, std::string& error, bool visualStudio);
    // The variables the downloaded toolchain runs under (name -> value, UTF-8): the tools first on
    // PATH, git's safe.directory, and the compiler's folders once the MSVC libraries are there.
    std::map<std::string, std::string> BuildEnvironment(const Toolchain& toolchain) const;
    // Runs git (the downloaded one when installed, else whatever "git" the system finds) in the base
    // folder with the build environment; its lines are logged, captured when capture is given, and
    // turned into progress. Returns the exit code (-1: not started or stopped); any code but 0 sets
    // error to "git <command> failed (<code>), see launcher.log".
    int Git(const std::vector<std::string>& arguments, std::string* capture, std::string& error);
    // Clones the port's source into source/, or fetches and resets an existing checkout, to the
    // launcher's version tag (a released launcher) or the tip of the game's branch; then the submodules.
    bool FetchSource(std::string& error);
    // Writes the chosen copy's XBEs into source/assets, leaving those already identical untouched.
    bool WriteXbe(std::string& error);

    // Makes the tool present in ToolDir(id): downloads its files into downloads/<id>, unpacks them
    // through MapArchivePath (or runs its installers) and then stamps the folder. A folder whose
    // stamp is the tool's is left as it is, without a request. On failure error says why
    // ("cancelled" for a stop) and the folder has no stamp.
    bool InstallTool(const Tool& tool, std::string& error);
    // Configures the checkout with CMake's "release" preset (CMake's cache made again when the build
    // tools changed since it was made) and builds it, each as a stage of its own.
    bool Compile(std::string& error);
    // Copies the game's executable and every library from the build folder into the play folder.
    bool InstallBuild(std::string& error);
    // True, with error saying so, when the base folder's path is too long for the Windows SDK's
    // installer (more than 80 UTF-16 code units).
    bool PathTooLongForSdk(std::string& error);
    // Makes or refreshes the installed game: with a package by BuildPackage, else from source as
    // timed stages (the tool list, each tool, the source, the XBEs, configure and compile, the
    // install), each leaving its work on disk so that a build after a failure or a stop carries on.
    // A first build refuses a base folder whose path is too long for the Windows SDK. On failure
    // error is the failing stage's ("cancelled" for a stop in most of them).
    bool BuildAll(std::string& error);

    // The game's soundtracks: play/hdd/E/TDATA/FFFE0000/MUSIC.
    std::filesystem::path MusicFolder() const;
    // Converts the user's music folder into the game's soundtracks, reusing the songs the last import
    // converted when their source is unchanged. A stop leaves the previous soundtracks as they were.
    bool ImportMusic(const std::filesystem::path& folder, std::string& result, std::string& error);
    // Undoes a stopped import: each reused song, moved to {staged path, its old place}, goes back,
    // and the work folder goes; error becomes "cancelled".
    void CancelMusicImport(const std::vector<std::pair<std::filesystem::path, std::filesystem::path>>& movedBack,
                           const std::filesystem::path& staging, std::string& error);
    // Whether the installed game is older than what this launcher would build now: for a released
    // launcher, built by another version; for a development one, its checkout behind the branch's
    // tip on the server (asked with git, which moves only the remote-tracking branch). False, with
    // git's error and no update, when a git run fails.
    bool SourceUpdateAvailable(bool& available, std::string& error);

    // What a game installed from the package no longer needs (package mode only): the folders in
    // tools/ but the audio converter's, then source/, downloads/ and agreed.txt where they exist.
    std::vector<std::filesystem::path> ListToolFolders() const;
    // Their size in bytes; links count nothing.
    std::uint64_t ToolsDiskUse() const;
    // Removes them in order; the first failure stops with "Could not remove <path>: <system text>".
    bool RemoveTools(std::string& error);
    // The compile's intermediate files: play/compiler/work in package mode, else source/out.
    std::uint64_t BuildFilesSize() const;
    bool RemoveBuildFiles(std::string& error);
};

// The whole file byte for byte into text; false, with text untouched, when it cannot be opened.
bool LoadFile(const std::filesystem::path& file, std::string& text);

// "%.0f MB" below 2^30 bytes, "%.1f GB" from there on (MB = 2^20 bytes).
std::string FormatSize(std::uint64_t bytes);

}  // namespace launcher
