#pragma once
// The launcher from start to end on any host: the application state and the Builder set up from the
// game description and the user's settings, play at start decided, the start-up check started, the
// window opened, then the frame loop with the restart after a self-update and play at start, and
// the shutdown.

#include <filesystem>
#include <memory>
#include <string>

#include <imgui.h>

#include "app/app.h"
#include "app/launcher_host.h"
#include "platform/platform.h"

namespace launcher {

struct Services {
    std::unique_ptr<Http> http;
    std::unique_ptr<Platform> platform;
};

// The texts of the fatal start-up boxes.
inline constexpr char kBadDescriptionCaption[] = "Launcher";
inline constexpr char kNoWindowText[] = "The launcher's window could not be created.";
inline constexpr char kNoDeviceText[] = "Direct3D 11 could not start.";

// Runs the launcher on host with the game description text and this build's version string;
// returns the process's exit code.
int RunLauncher(const std::string& description, const std::string& version, Services services,
                LauncherHost& host);

// The same in three steps, so that tests can drive the loop turn by turn.
class LauncherRun {
public:
    static constexpr int kRunning = -1;

    LauncherRun(std::string description, std::string version, Services services, LauncherHost& host);
    ~LauncherRun();
    LauncherRun(const LauncherRun&) = delete;
    LauncherRun& operator=(const LauncherRun&) = delete;

    // Start-up up to the open window: kRunning, or the exit code when the launcher does not run (0
    // when another launcher works on its base folder).
    int Start();
    // One turn of the loop; false when the loop ends (a quit message, the restart, the game ended).
    bool Turn();
    // After the loop: stops and joins the task, closes the window; the exit code.
    int Shutdown();

    // Exists from the start of Start until Shutdown.
    App& app() { return *app_; }

private:
    bool ReadDescription();
    void ReadSettings();
    void DecidePlayAtStart();
    bool OpenWindow();
    // Whether this turn draws a frame: not while the window is minimised, hidden or occluded, nor
    // while the device is lost and cannot be made again.
    bool Drawable();
    void DrawFrame();
    // Steps after the frame; false when the loop ends.
    bool HandlePlayAtStart();
    bool StartGameAndWait();
    // Cancels and joins a running task, then lets the App go.
    void EndApp();

    std::string description_;
    std::string version_;
    Services services_;
    LauncherHost& host_;
    std::unique_ptr<App> app_;
    std::filesystem::path executable_;
    ImFont* headingFont_ = nullptr;
    bool imguiStarted_ = false;
    bool windowOpen_ = false;
    bool occluded_ = false;
    bool deviceLost_ = false;
};

}  // namespace launcher
