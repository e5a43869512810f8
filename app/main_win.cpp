// The launcher's entry point.
#include <windows.h>

#include "app/win_host.h"
#include "game/game.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return launcher::RunWindowsLauncher(instance, launcher::BuiltinGameText(), LAUNCHER_VERSION);
}
