// The launcher's entry point.
#include <windows.h>

#include "app/win_host.h"
#include "game/game.h"
#include "platform/dll_search.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    launcher::LoadLibrariesFromSystemFolderOnly();
    return launcher::RunWindowsLauncher(instance, launcher::BuiltinGameText(), LAUNCHER_VERSION);
}
