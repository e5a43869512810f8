// The launcher's Windows host and loop with the game description read from a game.json beside this
// program, for tests that need a launcher of their own game. Never shipped.
#include <windows.h>

#include <string>

#include "app/win_host.h"
#include "builder/builder.h"
#include "platform/executable_path.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    std::string description;
    launcher::LoadFile(launcher::ExecutablePath().parent_path() / "game.json", description);
    return launcher::RunWindowsLauncher(instance, description, "dev");
}
