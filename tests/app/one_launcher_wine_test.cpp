// One launcher per base folder under Wine: copies of test_launcher.exe with a description of their
// own, started with --play (which logs at start), their windows found by their process.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <string>
#include <thread>

#include "app/one_launcher_win.h"
#include "tests/support/started_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"
#include "tests/support/wait_until.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr wchar_t kWindowClass[] = L"QuenforgeLauncher";
// Hang guards, not timings.
constexpr auto kDeadline = std::chrono::seconds(30);
constexpr DWORD kEndMilliseconds = 30000;

template <typename Condition>
bool WaitUntil(Condition condition) {
    return test::WaitUntil(condition, kDeadline, std::chrono::milliseconds(50));
}

// A launcher started with its own handle; closed, or ended, when the test is done with it.
class RunningLauncher {
public:
    explicit RunningLauncher(const fs::path& program) : started_(test::StartProgram(program, L"--play")) {}
    ~RunningLauncher() {
        if (started_.process == nullptr) return;
        if (WaitForSingleObject(started_.process, 0) == WAIT_TIMEOUT && Close() == -1) {
            TerminateProcess(started_.process, 1);
        }
        CloseHandle(started_.process);
    }
    RunningLauncher(const RunningLauncher&) = delete;
    RunningLauncher& operator=(const RunningLauncher&) = delete;

    bool started() const { return started_.process != nullptr; }

    // Its visible window; null when none shows before the deadline or the process ends first.
    HWND WaitForWindow() const {
        HWND shown = nullptr;
        WaitUntil([&] {
            if (HWND window = FindWindowOf(); window != nullptr && IsWindowVisible(window)) shown = window;
            return shown != nullptr || WaitForSingleObject(started_.process, 0) != WAIT_TIMEOUT;
        });
        return shown;
    }

    // Its exit code once it has ended; -1 when it has not by the deadline.
    long WaitForEnd() const {
        DWORD code = 0;
        if (WaitForSingleObject(started_.process, kEndMilliseconds) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(started_.process, &code)) {
            return -1;
        }
        return static_cast<long>(code);
    }

    long Close() const {
        if (HWND window = FindWindowOf(); window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
        return WaitForEnd();
    }

private:
    HWND FindWindowOf() const {
        for (HWND window = FindWindowExW(nullptr, nullptr, kWindowClass, nullptr); window != nullptr;
             window = FindWindowExW(nullptr, window, kWindowClass, nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == started_.id) return window;
        }
        return nullptr;
    }

    test::StartedProgram started_;
};

class OneLauncherWineTest : public testing::Test {
protected:
    // test_launcher.exe in folder with the description of a game whose base folder is Velmora2.
    static fs::path PlaceLauncher(const fs::path& folder) {
        const fs::path program = folder / "test_launcher.exe";
        test::WriteFile(program, test::ReadFile(test::TestBinFolder() / "test_launcher.exe"));
        test::WriteFile(folder / "game.json",
                        R"({"title": "Velmora", "short": "Velmora2", "exe": "Velmora2",
                            "repo": "https://github.com/velmora-port/velmora2",
                            "releases": {"0123456789abcdef0123456789abcdef01234567": "Europe"}})");
        test::WriteFile(folder / "Velmora2/launcher.json", R"({"play_at_start": false})");
        return program;
    }

    test::TempFolder temp;
};

TEST_F(OneLauncherWineTest, ASecondLauncherOnTheFolderBringsTheFirstForwardAndEndsTouchingNothing) {
    const fs::path program = PlaceLauncher(temp / "one");
    const fs::path log = temp / "one/Velmora2/launcher.log";
    RunningLauncher first(program);
    ASSERT_TRUE(first.started());
    const HWND window = first.WaitForWindow();
    ASSERT_NE(window, nullptr) << "the first launcher showed no window";
    ASSERT_TRUE(WaitUntil([&] { return test::ReadFile(log).find("play at start: the launcher stays") != std::string::npos; }))
        << test::ReadFile(log);
    PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != FALSE; }));
    // What a self-update leaves, which a launcher that runs deletes at start.
    test::WriteFile(temp / "one/test_launcher.exe.old", "old");
    const std::string logBefore = test::ReadFile(log);
    const std::string settingsBefore = test::ReadFile(temp / "one/Velmora2/launcher.json");

    RunningLauncher second(program);
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.WaitForEnd(), 0);
    EXPECT_TRUE(WaitUntil([&] { return IsIconic(window) == FALSE; })) << "the first launcher's window stays minimised";
    EXPECT_EQ(test::ReadFile(log), logBefore);
    EXPECT_EQ(test::ReadFile(temp / "one/Velmora2/launcher.json"), settingsBefore);
    EXPECT_TRUE(fs::exists(temp / "one/test_launcher.exe.old"));

    // A launcher on another folder runs beside the first.
    RunningLauncher elsewhere(PlaceLauncher(temp / "two"));
    ASSERT_TRUE(elsewhere.started());
    EXPECT_NE(elsewhere.WaitForWindow(), nullptr) << "the launcher on another folder showed no window";
    EXPECT_EQ(elsewhere.Close(), 0);
    EXPECT_EQ(first.Close(), 0);
}

// As after a self-update: the old launcher starts the new one and then ends.
TEST_F(OneLauncherWineTest, ALauncherStartedAsTheOneOnTheFolderEndsRunsOnceItHasEnded) {
    const fs::path program = PlaceLauncher(temp / "one");
    RunningLauncher old(program);
    ASSERT_TRUE(old.started());
    ASSERT_NE(old.WaitForWindow(), nullptr) << "the old launcher showed no window";
    RunningLauncher replacement(program);
    ASSERT_TRUE(replacement.started());
    EXPECT_EQ(old.Close(), 0);
    EXPECT_NE(replacement.WaitForWindow(), nullptr) << "the new launcher showed no window";
    EXPECT_EQ(replacement.Close(), 0);
}

// A holder with no window of its own is ending, however slowly: the new launcher waits past the
// few seconds it gives a launcher that is at work, and runs once the folder is let go.
TEST_F(OneLauncherWineTest, ALauncherWaitsForAHolderWithoutAWindowToLetGo) {
    const fs::path program = PlaceLauncher(temp / "one");
    const HANDLE mutex = CreateMutexW(nullptr, TRUE, BaseFolderMutexName(temp / "one/Velmora2").c_str());
    ASSERT_NE(mutex, nullptr);
    ASSERT_NE(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    RunningLauncher replacement(program);
    ASSERT_TRUE(replacement.started());
    std::this_thread::sleep_for(std::chrono::seconds(8));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    EXPECT_NE(replacement.WaitForWindow(), nullptr) << "the new launcher gave way to a holder that was ending";
    EXPECT_EQ(replacement.Close(), 0);
}

TEST(BaseFolderMutexNameWineTest, OneFolderOneNameWhateverTheCaseOfItsPath) {
    test::TempFolder temp;
    fs::create_directories(temp / "Velmora2");
    std::wstring upper = temp.path().wstring();
    std::transform(upper.begin(), upper.end(), upper.begin(), [](wchar_t c) { return std::towupper(c); });
    EXPECT_EQ(BaseFolderMutexName(temp / "Velmora2"), BaseFolderMutexName(fs::path(upper) / "VELMORA2"));
    // Not made yet: resolved through the folder above it.
    EXPECT_EQ(BaseFolderMutexName(temp / "Other"), BaseFolderMutexName(fs::path(upper) / "OTHER"));
    EXPECT_NE(BaseFolderMutexName(temp / "Velmora2"), BaseFolderMutexName(temp / "Other"));
}

}  // namespace
}  // namespace launcher
