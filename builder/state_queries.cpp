// What the window asks about the installed game between tasks, beside the choices kept in
// launcher.json.
#include "builder/builder.h"

namespace fs = std::filesystem;

namespace launcher {

bool Builder::GameCodeMissing() const {
    if (!InPackageMode(game)) return false;
    std::error_code ec;
    if (!fs::exists(GameExePath(), ec)) return false;
    return !fs::exists(PlayFolder() / fs::path(game.exe + ".dll"), ec);
}

bool Builder::StartGame(std::string& error) { return platform->Start(GameExePath(), PlayFolder(), error); }

}  // namespace launcher
