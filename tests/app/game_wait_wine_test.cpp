// The Windows host's wait for the game started at start-up, on the fake port whose first process
// ends at once and leaves a grandchild that runs two seconds.
#include <gtest/gtest.h>

#include <chrono>

#include "app/game_wait_win.h"
#include "tests/app/played_game.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

namespace launcher {
namespace {

TEST(GameWaitWineTest, WaitsForTheGrandchildWakingOnlyAtThePollsPace) {
    test::TempFolder temp;
    const auto game = test::PlaceFakePlayedGame(temp.path(), "WaitedGame", "grandchild 2000\nexit 7\n");
    GameProcess process;
    DWORD error = 0;
    ASSERT_TRUE(StartGameProcess(game, temp.path(), process, error)) << error;
    ASSERT_NE(process.job, nullptr);
    int wakeUps = 0;
    int dispatches = 0;
    const DWORD code = WaitForGameProcess(process, [&dispatches] { ++dispatches; }, &wakeUps);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(test::RunningProcesses(L"WaitedGame.exe"), 0) << "the wait ended before the grandchild";
    // Two seconds in polls of half a second; a wait on the ended process's handle returns at once
    // and would wake thousands of times.
    EXPECT_LT(wakeUps, 20);
    EXPECT_GT(wakeUps, 0);
    EXPECT_EQ(dispatches, wakeUps);
    EXPECT_EQ(process.process, nullptr);
    EXPECT_EQ(process.job, nullptr);
}

// A program the game starts outside its job is allowed, and is not waited for.
TEST(GameWaitWineTest, AGameMayStartAProgramOutsideItsJob) {
    test::TempFolder temp;
    const auto game = test::PlaceFakePlayedGame(temp.path(), "BreakingGame", "breakaway 3000\nexit 7\n");
    GameProcess process;
    DWORD error = 0;
    ASSERT_TRUE(StartGameProcess(game, temp.path(), process, error)) << error;
    ASSERT_NE(process.job, nullptr);
    const DWORD code = WaitForGameProcess(process, {});
    EXPECT_EQ(code, 7u) << "4: the start outside the job was refused";
    EXPECT_EQ(test::RunningProcesses(L"BreakingGame.exe"), 1) << "the wait ended only with the program outside the job";
    // Its file goes with the temporary folder once it has ended.
    test::WaitUntil([] { return test::RunningProcesses(L"BreakingGame.exe") == 0; }, std::chrono::seconds(20),
                    std::chrono::milliseconds(100));
}

TEST(GameWaitWineTest, AGameThatCannotStartGivesTheSystemsCode) {
    test::TempFolder temp;
    GameProcess process;
    DWORD error = 0;
    EXPECT_FALSE(StartGameProcess(temp / "missing.exe", temp.path(), process, error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(process.process, nullptr);
}

}  // namespace
}  // namespace launcher
