#pragma once
// The fake port as the game that play at start starts: a copy of the helper child that follows
// fakeplay.txt beside it.

#include <filesystem>
#include <string>

namespace launcher::test {

// Copies the helper child into folder as program (with the executable suffix) and writes script,
// one step a line, as fakeplay.txt beside it; returns the program's path.
std::filesystem::path PlaceFakePlayedGame(const std::filesystem::path& folder, const std::string& program,
                                          const std::string& script);

#ifdef _WIN32
// How many processes of this file name (name.exe) are running.
int RunningProcesses(const std::wstring& fileName);
#endif

}  // namespace launcher::test
