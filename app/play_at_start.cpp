#include "app/play_at_start.h"

#include "platform/text.h"

namespace launcher {

bool PlayFlag(const std::vector<std::string>& arguments) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        for (const char* flag : {"--play", "-play", "/play"}) {
            if (AsciiEqualIgnoringCase(arguments[i], flag)) return true;
        }
    }
    return false;
}

std::string PlayAtStartLine(bool flag, bool saved, bool shiftHeld) {
    if (!flag && !saved) return "";
    std::string line = "play at start: ";
    line += flag ? "--play" : "the saved choice";
    if (shiftHeld) line += ", Shift held: the launcher stays";
    return line;
}

const char* ReasonToStay(const PlayAtStartState& state) {
    if (!state.copyUsable) return "no game chosen";
    if (!state.installed) return "the game is not built";
    if (state.gameCodeMissing) return "the game is to be updated to the prebuilt way";
    if (state.gameUpdateReady) return "a new version of the game is ready to install";
    if (state.launcherOffered) return "a new launcher is offered";
    if (state.checkFailed) return "the start's check ended with an error";
    return nullptr;
}

}  // namespace launcher
