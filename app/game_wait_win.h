#pragma once
// The game started at start-up: its process in a job of its own, and the wait until the game and
// every process it started have ended, dispatching messages all the while.

#include <windows.h>

#include <filesystem>
#include <functional>

namespace launcher {

struct GameProcess {
    HANDLE process = nullptr;
    // Null when the game could not join it: the wait then ends with the game's own process.
    HANDLE job = nullptr;
};

// Starts program (its path in double quotes as the command line) suspended, in a job that lets it
// start programs outside it, then lets it run; false with GetLastError's code when it cannot start.
bool StartGameProcess(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
                      GameProcess& game, DWORD& errorCode);

// Waits in turns of at most 500 ms, waking on any input and calling dispatch after each wake, until
// the process has ended and the job has no active process left; closes both handles and returns the
// process's exit code. wakeUps, when given, counts the wait's returns.
DWORD WaitForGameProcess(GameProcess& game, const std::function<void()>& dispatch, int* wakeUps = nullptr);

}  // namespace launcher
