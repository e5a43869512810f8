#pragma once
// A host that draws nowhere (ImGui's null backend), for running the launcher's real start-up and
// frame loop in tests: quitting, Shift, another launcher on the folder, minimising, occlusion, the
// window's and the device's failures, the device's loss and the game's start are scripted; message
// boxes, frames and waits are recorded.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/launcher_host.h"

namespace launcher::test {

class HeadlessHost final : public LauncherHost {
public:
    // Turns ImGui's failed assertions into test failures while it lives.
    HeadlessHost();
    ~HeadlessHost() override;

    // Scripted.
    std::filesystem::path executable;
    std::vector<std::string> arguments{"launcher.exe"};
    bool argumentsSplit = true;
    bool shiftHeld = false;
    // Another launcher keeps the base folder.
    bool folderTaken = false;
    WindowOpening opening = WindowOpening::kOpen;
    float scale = 1.0f;
    std::filesystem::path fontsFolder;
    bool quit = false;
    bool minimized = false;
    // What each frame's present says, and what a test of an occluded window answers.
    Presented present = Presented::kShown;
    bool occluded = false;
    // The device is lost when a frame starts (a resize) while this is set.
    bool frameStartFails = false;
    // So many tries to make the device again fail first.
    int restoreFailures = 0;
    // The game's start fails with this code when it is not 0.
    std::uint32_t gameStartError = 0;
    std::uint32_t gameExitCode = 0;
    // Called when the window is asked for, before it opens.
    std::function<void()> onOpenWindow;

    // Recorded.
    struct Box {
        std::string text;
        std::string caption;
        bool ownedByWindow = false;
    };
    std::vector<Box> boxes;
    std::vector<std::filesystem::path> claimedFolders;
    bool windowOpened = false;
    bool windowClosed = false;
    bool backendsStarted = false;
    int frames = 0;
    int waits = 0;
    int occlusionTests = 0;
    int restores = 0;
    bool hidden = false;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> gameStarts;  // program, folder
    int gameWaits = 0;

    std::filesystem::path ExecutablePath() override { return executable; }
    bool Arguments(std::vector<std::string>& out) override;
    bool ShiftHeld() override { return shiftHeld; }
    bool ClaimBaseFolder(const std::filesystem::path& baseFolder) override {
        claimedFolders.push_back(baseFolder);
        return !folderTaken;
    }
    void ShowError(const std::string& text, const std::string& caption, bool ownedByWindow) override;
    WindowOpening OpenWindow(const std::string& title) override;
    WindowHandle Window() override { return nullptr; }
    float Scale() override { return scale; }
    std::filesystem::path FontsFolder() override { return fontsFolder; }
    void StartBackends() override;
    void StopBackends() override;
    void CloseWindow() override { windowClosed = true; }
    bool DispatchMessages() override { return !quit; }
    void WaitForMessages(int) override { ++waits; }
    bool BeginFrame() override;
    Presented EndFrame() override {
        ++frames;
        return present;
    }
    bool StillOccluded() override {
        ++occlusionTests;
        return occluded;
    }
    bool RestoreDevice() override { return ++restores > restoreFailures; }
    bool Minimized() override { return minimized; }
    bool Visible() override { return !hidden; }
    void Hide() override { hidden = true; }
    bool StartGame(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
                   std::uint32_t& errorCode) override;
    std::uint32_t WaitForGame() override;

    std::string title;
};

}  // namespace launcher::test
