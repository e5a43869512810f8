// The launcher's entry point.
#include <objbase.h>
#include <windows.h>

#include <exception>
#include <string>

#include "game/game.h"
#include "platform/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Not fatal where it fails (Wine refuses it): the window is then scaled by the system.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    launcher::Game game;
    std::string error;
    bool readable = false;
    try {
        readable = launcher::ReadGame(launcher::BuiltinGameText(), game, error);
    } catch (const std::exception& e) {
        error = std::string("game.json is not readable: ") + e.what();
    }
    if (!readable) {
        MessageBoxW(nullptr, launcher::ToWide(error).c_str(), L"Launcher", MB_ICONERROR);
        CoUninitialize();
        return 1;
    }
    game.version = "dev";

    CoUninitialize();
    return 0;
}
