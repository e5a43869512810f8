#include "tests/app/headless_host.h"

#include <imgui.h>

#include "tests/support/headless_imgui.h"

namespace launcher::test {

HeadlessHost::HeadlessHost() { SetImGuiAssertHook(FailOnImGuiAssert); }

HeadlessHost::~HeadlessHost() { SetImGuiAssertHook(nullptr); }

bool HeadlessHost::Arguments(std::vector<std::string>& out) {
    if (!argumentsSplit) return false;
    out = arguments;
    return true;
}

void HeadlessHost::ShowError(const std::string& text, const std::string& caption, bool ownedByWindow) {
    boxes.push_back({text, caption, ownedByWindow});
}

WindowOpening HeadlessHost::OpenWindow(const std::string& windowTitle) {
    if (onOpenWindow) onOpenWindow();
    title = windowTitle;
    windowOpened = opening != WindowOpening::kNoWindow;
    return opening;
}

void HeadlessHost::StartBackends() {
    backendsStarted = true;
    ImGui::GetIO().BackendPlatformName = "headless";
}

void HeadlessHost::StopBackends() {
    backendsStarted = false;
    ImGui::GetIO().BackendPlatformName = nullptr;
}

bool HeadlessHost::BeginFrame() {
    if (frameStartFails) return false;
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(900.0f * scale, 700.0f * scale);
    io.DeltaTime = 1.0f / 60.0f;
    // What a renderer backend does on its first frame.
    if (!io.Fonts->IsBuilt()) {
        unsigned char* pixels = nullptr;
        int width = 0, height = 0;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }
    return true;
}

bool HeadlessHost::StartGame(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
                             std::uint32_t& errorCode) {
    gameStarts.emplace_back(program, workingFolder);
    errorCode = gameStartError;
    return gameStartError == 0;
}

std::uint32_t HeadlessHost::WaitForGame() {
    ++gameWaits;
    return gameExitCode;
}

}  // namespace launcher::test
