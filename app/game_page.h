#pragma once
// The Game page: the offer of a newer launcher, the user's copy of the game, how far the game's
// build has got with the button that starts it, and Play.

#include <imgui.h>

#include <functional>
#include <string>

#include "app/app.h"
#include "app/shell.h"
#include "builder/status.h"

namespace launcher {

// The done messages of the page's build tasks.
inline constexpr char kInstallDoneMessage[] = "The game is ready. Press Play.";
inline constexpr char kBuildDoneMessage[] = "The game is built. Press Play.";

// Draws the page into the current window. status, error and notice are the copies the window took
// under the App's mutex at the start of the frame; window owns the file dialogs.
void GamePage(App& app, WindowHandle window, ImFont* headingFont, const Status& status, const std::string& error,
              const std::string& notice);

// On the interface thread, once a frame: a copy whose adoption has ended becomes the App's source.
void TakeAdoptedCopy(App& app);

// The tasks the page starts: the package build ("Get the game ready", "Update") and the build from
// source ("Build", "Rebuild", "Update"), both Builder::BuildAll.
std::function<bool(std::string&)> InstallTask(App& app);
std::function<bool(std::string&)> BuildTask(App& app);

}  // namespace launcher
