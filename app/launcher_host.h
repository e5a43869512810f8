#pragma once
// What the launcher's start-up and frame loop need of the system they run on: the window with its
// device and frames, the message queue, Shift, the command line, message boxes and the game's
// start-and-wait. The Windows host is Win32 and Direct3D 11; the tests' host draws nowhere.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/shell.h"

namespace launcher {

enum class WindowOpening { kOpen, kNoWindow, kNoDevice };

// What became of a presented frame.
enum class Presented { kShown, kOccluded, kDeviceLost };

class LauncherHost {
public:
    virtual ~LauncherHost() = default;

    // The running program's own file.
    virtual std::filesystem::path ExecutablePath() = 0;
    // The command line split into arguments, the program's name first; false when it cannot be split.
    virtual bool Arguments(std::vector<std::string>& arguments) = 0;
    virtual bool ShiftHeld() = 0;
    // Makes this the one launcher that works on baseFolder while it runs. One that is ending there
    // (the launcher that has just started this one after a self-update) is waited for; false when
    // another launcher keeps the folder, whose window is then brought to the front.
    virtual bool ClaimBaseFolder(const std::filesystem::path& baseFolder) = 0;
    // A modal error box; owned by the window when ownedByWindow.
    virtual void ShowError(const std::string& text, const std::string& caption, bool ownedByWindow) = 0;

    // Makes the window with this title, sized and placed for its DPI, then its device, and shows it.
    // kNoDevice leaves the window for the error box; CloseWindow ends it.
    virtual WindowOpening OpenWindow(const std::string& title) = 0;
    virtual WindowHandle Window() = 0;
    // The window's DPI / 96, read once when it opened.
    virtual float Scale() = 0;
    virtual std::filesystem::path FontsFolder() = 0;
    // The backends of the current ImGui context.
    virtual void StartBackends() = 0;
    virtual void StopBackends() = 0;
    // Releases the device and the window.
    virtual void CloseWindow() = 0;

    // Dispatches every waiting message; false when a quit message was among them.
    virtual bool DispatchMessages() = 0;
    // Returns when a message arrives or the time has passed.
    virtual void WaitForMessages(int milliseconds) = 0;
    // Applies a pending resize, then starts the backends' frame (before ImGui::NewFrame); false,
    // with nothing started, when there is nothing to draw into (the device was lost).
    virtual bool BeginFrame() = 0;
    // Renders ImGui's draw data over the clear colour and presents it (after ImGui::Render);
    // kOccluded when nothing of the window can be seen (the screen locked or asleep, a UAC prompt),
    // kDeviceLost after a driver update or reset or a change of GPU.
    virtual Presented EndFrame() = 0;
    // After an occluded frame: whether the window still cannot be seen, asked without drawing.
    virtual bool StillOccluded() = 0;
    // After a lost device: stops the renderer backend, makes the device again (the hardware driver,
    // else WARP) and starts the backend on it; false when no device could be made yet.
    virtual bool RestoreDevice() = 0;
    virtual bool Minimized() = 0;
    virtual bool Visible() = 0;
    virtual void Hide() = 0;

    // Starts the game in a job of its own; false with the system's error code when it cannot start.
    virtual bool StartGame(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
                           std::uint32_t& errorCode) = 0;
    // Waits, still dispatching messages, until the game and everything it started have ended;
    // returns the game's exit code.
    virtual std::uint32_t WaitForGame() = 0;
};

}  // namespace launcher
