#include "app/launcher_run.h"

#include <exception>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "app/after_update.h"
#include "app/launcher_window.h"
#include "app/play_at_start.h"
#include "app/theme.h"
#include "app/update_check.h"
#include "builder/toolchain.h"
#include "game/identify.h"
#include "platform/path_status.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

// While the window is minimised, hidden or occluded, or the device lost, a turn draws nothing and
// waits this long for a message.
constexpr int kIdleWaitMilliseconds = 50;

}  // namespace

int RunLauncher(const std::string& description, const std::string& version, Services services,
                LauncherHost& host) {
    LauncherRun run(description, version, std::move(services), host);
    const int code = run.Start();
    if (code != LauncherRun::kRunning) return code;
    while (run.Turn()) {
    }
    return run.Shutdown();
}

LauncherRun::LauncherRun(std::string description, std::string version, Services services, LauncherHost& host)
    : description_(std::move(description)), version_(std::move(version)), services_(std::move(services)),
      host_(host) {}

LauncherRun::~LauncherRun() {
    if (app_) Shutdown();
}

int LauncherRun::Start() {
    app_ = std::make_unique<App>(std::move(services_.http), std::move(services_.platform));
    if (!ReadDescription()) return 1;
    App& app = *app_;
    app.game.version = version_;
    executable_ = host_.ExecutablePath();
    app.baseFolder = executable_.parent_path() / Utf8Path(app.game.shortName);
    // Another launcher works on this folder: this one touches nothing and ends as a success.
    if (!host_.ClaimBaseFolder(app.baseFolder)) {
        EndApp();
        return 0;
    }
    RemoveReplacedExecutables(executable_);

    app.builder = std::make_unique<Builder>(app.game, app.baseFolder, app.http.get(), app.platform.get());
    app.builder->builtinToolList = BuiltinToolListText();
    App* const self = &app;
    app.builder->statusCallback = [self](const Status& status) { OnStatus(*self, status); };
    app.builder->logCallback = [self](const std::string& line) { OnLogLine(*self, line); };

    std::uint32_t code = 0;
    app.agreed = QueryPresence(app.baseFolder / "agreed.txt", code) == PathPresence::Present;
    ReadSettings();
    DecidePlayAtStart();
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        app.buildFilesSize = app.builder->BuildFilesSize();
        app.toolsSize = app.builder->ToolsDiskUse();
    }
    app.RunTask([self](std::string& error) { return CheckForUpdates(*self, error); }, "");

    return OpenWindow() ? kRunning : 1;
}

bool LauncherRun::ReadDescription() {
    std::string error;
    bool readable = false;
    try {
        readable = ReadGame(description_, app_->game, error);
        // The base folder is named after the short name: one that is no valid UTF-8 fails here, as
        // part of the description, rather than when the folder is made.
        if (readable) Utf8Path(app_->game.shortName);
    } catch (const std::exception& e) {
        readable = false;
        error = std::string("game.json is not readable: ") + e.what();
    }
    if (readable) return true;
    host_.ShowError(error, kBadDescriptionCaption, false);
    EndApp();
    return false;
}

void LauncherRun::ReadSettings() {
    App& app = *app_;
    const fs::path chosen = app.builder->ChosenGamePath();
    if (!chosen.empty()) app.source = IdentifyGame(app.game, chosen);
    const fs::path music = app.builder->ReadMusicFolder();
    std::lock_guard<std::mutex> lock(app.mutex);
    app.musicFolder = music;
}

void LauncherRun::DecidePlayAtStart() {
    App& app = *app_;
    std::vector<std::string> arguments;
    const bool flag = host_.Arguments(arguments) && PlayFlag(arguments);
    app.playAtStart = app.builder->ReadPlayAtStart();
    const bool shiftHeld = host_.ShiftHeld();
    app.playPending = (flag || app.playAtStart) && !shiftHeld;
    const std::string line = PlayAtStartLine(flag, app.playAtStart, shiftHeld);
    if (!line.empty()) app.builder->Log(line);
}

bool LauncherRun::OpenWindow() {
    const std::string title = app_->game.title + " - Launcher";
    switch (host_.OpenWindow(title)) {
        case WindowOpening::kOpen:
            break;
        case WindowOpening::kNoWindow:
            host_.ShowError(kNoWindowText, kBadDescriptionCaption, false);
            EndApp();
            return false;
        case WindowOpening::kNoDevice:
            host_.ShowError(kNoDeviceText, title, true);
            EndApp();
            host_.CloseWindow();
            return false;
    }
    windowOpen_ = true;
    const float scale = host_.Scale();
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    imguiStarted_ = true;
    ImGui::GetIO().IniFilename = nullptr;
    ApplyStyle(scale);
    headingFont_ = LoadFonts(host_.FontsFolder(), scale);
    host_.StartBackends();
    return true;
}

bool LauncherRun::Turn() {
    if (!host_.DispatchMessages()) return false;
    if (Drawable()) {
        DrawFrame();
    } else {
        host_.WaitForMessages(kIdleWaitMilliseconds);
    }
    if (RestartAfterUpdate(*app_, executable_)) return false;
    return HandlePlayAtStart();
}

bool LauncherRun::Drawable() {
    if (host_.Minimized() || !host_.Visible()) return false;
    if (deviceLost_) {
        if (!host_.RestoreDevice()) return false;
        deviceLost_ = false;
        occluded_ = false;
    }
    // An occluded window's presents return at once: drawing on would spin a core.
    if (occluded_) occluded_ = host_.StillOccluded();
    return !occluded_;
}

void LauncherRun::DrawFrame() {
    if (!host_.BeginFrame()) {
        deviceLost_ = true;
        return;
    }
    ImGui::NewFrame();
    LauncherWindow(*app_, host_.Window(), headingFont_);
    ImGui::Render();
    const Presented presented = host_.EndFrame();
    occluded_ = presented == Presented::kOccluded;
    deviceLost_ = presented == Presented::kDeviceLost;
}

bool LauncherRun::HandlePlayAtStart() {
    App& app = *app_;
    if (app.playPending && host_.ShiftHeld()) {
        app.playPending = false;
        app.builder->Log("play at start: Shift held, the launcher stays");
    }
    if (!app.playPending || app.busy) return true;
    app.playPending = false;
    PlayAtStartState state;
    state.copyUsable = app.source.ok;
    state.installed = app.builder->IsInstalled();
    state.gameCodeMissing = app.builder->GameCodeMissing();
    state.gameUpdateReady = app.gameUpdateReady;
    state.launcherOffered = app.launcherOffered;
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        state.checkFailed = !app.error.empty();
    }
    if (const char* reason = ReasonToStay(state)) {
        app.builder->Log(std::string("play at start: the launcher stays, ") + reason);
        return true;
    }
    return StartGameAndWait();
}

bool LauncherRun::StartGameAndWait() {
    App& app = *app_;
    std::uint32_t errorCode = 0;
    if (!host_.StartGame(app.builder->GameExePath(), app.builder->PlayFolder(), errorCode)) {
        std::lock_guard<std::mutex> lock(app.mutex);
        app.error = "Could not start the game (error " + std::to_string(errorCode) + ").";
        return true;
    }
    app.builder->Log("play at start: the game started, the launcher waits for it");
    host_.Hide();
    const std::uint32_t exitCode = host_.WaitForGame();
    app.builder->Log("play at start: the game ended (exit code " + std::to_string(exitCode) + "), the launcher closes");
    return false;
}

int LauncherRun::Shutdown() {
    if (app_) {
        if (app_->builder) app_->builder->cancel = true;
        if (app_->taskThread.joinable()) app_->taskThread.join();
    }
    if (imguiStarted_) {
        host_.StopBackends();
        ImGui::DestroyContext();
        imguiStarted_ = false;
    }
    if (windowOpen_) {
        host_.CloseWindow();
        windowOpen_ = false;
    }
    app_.reset();
    return 0;
}

void LauncherRun::EndApp() {
    if (app_->builder) app_->builder->cancel = true;
    // Destroying a joinable thread would end the process.
    if (app_->taskThread.joinable()) app_->taskThread.join();
    app_.reset();
}

}  // namespace launcher
