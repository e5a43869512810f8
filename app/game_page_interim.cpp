// Stands in for the Game page until it is written: the page area shows the game's title.
#include "app/game_page.h"

namespace launcher {

void GamePage(App& app, WindowHandle, ImFont*, const Status&, const std::string&, const std::string&) {
    ImGui::TextUnformatted(app.game.title.c_str());
}

}  // namespace launcher
