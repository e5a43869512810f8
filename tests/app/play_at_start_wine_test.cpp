// Play at start end to end under Wine: test_launcher.exe with a description of its own, the chosen
// copy a folder, the game the fake port, which ends with 7 and leaves a grandchild running two
// seconds. The launcher starts it, waits for both, logs the exit code and ends with 0.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/app/played_game.h"
#include "tests/support/digests.h"
#include "tests/support/started_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

const std::string kXbe = "XBEH" + std::string(2000, 'p');

std::string JsonPath(const fs::path& path) {
    std::string text;
    for (const char c : PathToUtf8(path)) {
        if (c == '\\') text += '\\';
        text += c;
    }
    return text;
}

// Runs program and waits for it (a hang guard of a minute); its exit code, or -1.
long RunAndWait(const fs::path& program) {
    const test::StartedProgram started = test::StartProgram(program, L"");
    if (started.process == nullptr) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(started.process, 60000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(started.process, &code);
    } else {
        TerminateProcess(started.process, 1);
    }
    CloseHandle(started.process);
    return static_cast<long>(code);
}

TEST(PlayAtStartWineTest, TheGameStartsAndTheLauncherClosesWhenItAndItsGrandchildHaveEnded) {
    test::TempFolder temp;
    const fs::path launcher = temp / "test_launcher.exe";
    test::WriteFile(launcher, test::ReadFile(test::TestBinFolder() / "test_launcher.exe"));
    test::WriteFile(temp / "game.json",
                    R"({"title": "Velmora", "short": "Velmora2", "exe": "PlayedAtStart", "xbe": "default.xbe",
                        "repo": "https://github.com/velmora-port/velmora2", "releases": {")" +
                        test::Sha1Of(kXbe) + R"(": "Europe"}})");
    test::WriteFile(temp / "disc/default.xbe", kXbe);
    test::WriteFile(temp / "disc/a.txt", "a");
    test::WriteFile(temp / "disc/b.txt", "b");
    const fs::path base = temp / "Velmora2";
    test::WriteFile(base / "launcher.json",
                    R"({"game": ")" + JsonPath(temp / "disc") + R"(", "play_at_start": true})");
    test::PlaceFakePlayedGame(base / "play", "PlayedAtStart", "grandchild 2000\nexit 7\n");

    EXPECT_EQ(RunAndWait(launcher), 0);
    EXPECT_EQ(test::RunningProcesses(L"PlayedAtStart.exe"), 0) << "the launcher closed before the grandchild ended";

    std::vector<std::string> lines;
    for (const std::string& line : test::ReadLines(base / "launcher.log")) {
        // "%H:%M:%S " before each line.
        if (line.size() > 9 && line.compare(9, 15, "play at start: ") == 0) lines.push_back(line.substr(9));
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"play at start: the saved choice",
                                               "play at start: the game started, the launcher waits for it",
                                               "play at start: the game ended (exit code 7), the launcher closes"}));
}

}  // namespace
}  // namespace launcher
