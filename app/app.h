#pragma once
// The application state: everything the window shows and every choice the user made in this run,
// and the one background thread that runs the long operations while the window keeps drawing.

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "builder/builder.h"
#include "builder/status.h"
#include "game/game.h"
#include "game/identify.h"
#include "platform/platform.h"
#include "platform/release.h"

namespace launcher {

// The window shows at most this many of the newest log lines, each of at most kLogLineBytes
// (launcher.log keeps the whole line).
inline constexpr std::size_t kLogLinesKept = 2000;
inline constexpr std::size_t kLogLineBytes = 4096;

class App {
public:
    // Makes the two services; no Builder yet, every flag clear, the status at its reset value.
    App();
    // The same with services of the caller's.
    App(std::unique_ptr<Http> http, std::unique_ptr<Platform> platform);
    // Stops and joins a task that is still running before anything is destroyed.
    ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    Game game;
    std::unique_ptr<Http> http;
    std::unique_ptr<Platform> platform;
    // Made by the entry function once the base folder is known; it sets the two callbacks to
    // OnStatus and OnLogLine of this App.
    std::unique_ptr<Builder> builder;
    std::filesystem::path baseFolder;
    GameSource source;
    bool agreed = false;
    std::atomic<bool> busy{false};
    std::atomic<bool> gameUpdateReady{false};
    // Guards offeredRelease only; never held together with mutex.
    std::mutex releaseMutex;
    Release offeredRelease;
    std::atomic<bool> launcherOffered{false};
    std::atomic<bool> offerDismissed{false};
    std::atomic<bool> restartPending{false};
    std::thread taskThread;
    // Guards status, error, notice, log, buildFilesSize, toolsSize, musicFolder, musicResult and
    // adopted.
    // Taken inside the Builder's logMutex by OnLogLine: nothing may log while holding it.
    std::mutex mutex;
    Status status;
    std::string error;
    std::string notice;
    std::deque<std::string> log;
    std::uint64_t buildFilesSize = 0;
    std::uint64_t toolsSize = 0;
    // The page shown: 0 Game, 1 Your music, 2 Manage, 3 Log.
    int section = 0;
    std::filesystem::path musicFolder;
    bool musicResultShown = false;
    std::string musicResult;
    // Left by the adoption of a chosen copy when it ends: the copy, usable only when it was adopted;
    // the interface thread makes it the source.
    std::optional<GameSource> adopted;
    bool playAtStart = false;
    std::atomic<bool> playPending{false};

    // Runs task on the task thread unless one is running, in which case the request is dropped
    // silently. When it ends, the notice becomes doneMessage (success) or the error the task's
    // error text, and the cached sizes are read again. Interface thread only.
    void RunTask(std::function<bool(std::string&)> task, std::string doneMessage);

private:
    void TaskBody(const std::function<bool(std::string&)>& task, const std::string& doneMessage);
    void LogFailure(const std::string& what);
};

// The Builder's status callback: copies the report into the App's status.
void OnStatus(App& app, const Status& status);
// The Builder's log callback: appends the line to the App's log, which keeps the newest lines; a
// longer line is cut at a character's start to kLogLineBytes, "..." included.
void OnLogLine(App& app, const std::string& line);

}  // namespace launcher
