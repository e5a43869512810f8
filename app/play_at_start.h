#pragma once
// Play at start: whether the command line asks for it, the line that logs the decision, and why the
// launcher stays open instead.

#include <string>
#include <vector>

namespace launcher {

// An argument after the program's name equal to "--play", "-play" or "/play", in any ASCII case.
bool PlayFlag(const std::vector<std::string>& arguments);

// "play at start: " + who asked + whether Shift keeps the launcher; empty when nobody asked.
std::string PlayAtStartLine(bool flag, bool saved, bool shiftHeld);

// What the main loop knows when play at start is due.
struct PlayAtStartState {
    bool copyUsable = false;
    bool installed = false;
    bool gameCodeMissing = false;
    bool gameUpdateReady = false;
    bool launcherOffered = false;
    bool checkFailed = false;
};

// The first reason that keeps the launcher open, or null when the game may start.
const char* ReasonToStay(const PlayAtStartState& state);

}  // namespace launcher
