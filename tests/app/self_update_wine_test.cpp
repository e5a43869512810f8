// The self-update end to end under Wine: WinHTTP through the test's code host, the real
// MoveFileExW, and a launcher that really runs from the file being replaced (a copy of the helper
// child, waiting).
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "app/after_update.h"
#include "app/self_update.h"
#include "app/update_check.h"
#include "platform/text.h"
#include "tests/app/connected_app.h"
#include "tests/support/code_host.h"
#include "tests/support/digests.h"
#include "tests/support/started_program.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr char kRepo[] = "velmora-port/velmora2";

// A program started with its own handle, ended by it when the test ends.
class RunningCopy {
public:
    RunningCopy(const fs::path& program, const std::wstring& arguments)
        : handle_(test::StartProgram(program, arguments).process) {}
    ~RunningCopy() { End(); }
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    bool started() const { return handle_ != nullptr; }
    void End() {
        if (handle_ == nullptr) return;
        TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 20000);
        CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

class SelfUpdateWineTest : public testing::Test {
protected:
    SelfUpdateWineTest() {
        app.http = std::make_unique<test::HttpThrough>(host.http());
        app.game.shortName = "Velmora2";
        app.game.repo = test::CodeHost::RepoUrl(kRepo);
        app.game.version = "v1.0";
        test::ConnectBuilder(app, temp / "Velmora2");
        files = RunningExecutableFiles();
        files.executable = exe;
        test::WriteFile(exe, helperBytes);
    }

    // The latest release "v1.1" whose launcher asset holds bytes, published with its size and its
    // digest (or the one given).
    void PublishRelease(const std::string& bytes, const std::string& digest = "") {
        const std::string name = "Velmora2Launcher.exe";
        host.PublishReleaseFile(kRepo, "v1.1", name, bytes);
        const std::string url = test::CodeHost::RepoUrl(kRepo) + "/releases/download/v1.1/" + name;
        host.PublishLatestReleaseAnswer(
            kRepo, R"({"tag_name": "v1.1", "assets": [{"name": ")" + name + R"(", "size": )" +
                       std::to_string(bytes.size()) + R"(, "digest": "sha256:)" +
                       (digest.empty() ? test::Sha256Of(bytes) : digest) + R"(", "browser_download_url": ")" + url +
                       R"("}]})");
    }

    // The start-up check, then the button's task with the offer; the task's error text.
    std::string CheckAndUpdate() {
        std::string error;
        EXPECT_TRUE(CheckForUpdates(app, error));
        EXPECT_TRUE(app.launcherOffered);
        Release offered;
        {
            std::lock_guard<std::mutex> lock(app.releaseMutex);
            offered = app.offeredRelease;
        }
        EXPECT_EQ(offered.tag, "v1.1");
        app.RunTask(UpdateLauncherTask(app, offered, files), "");
        EXPECT_TRUE(test::WaitUntilIdle(app)) << "the update did not end";
        std::lock_guard<std::mutex> lock(app.mutex);
        return app.error;
    }

    test::TempFolder temp;
    test::CodeHost host;
    App app;
    SelfUpdateFiles files;
    // The helper child runs its --sleep only under its own name.
    const fs::path exe = temp / "helper_child.exe";
    const fs::path old = temp / "helper_child.exe.old";
    const fs::path numbered = temp / "helper_child.exe.1.old";
    const std::string helperBytes = test::ReadFile(test::HelperChildPath());
    const std::string launcherBytes = test::ReadFile(test::TestBinFolder() / "../app/launcher.exe");
};

TEST_F(SelfUpdateWineTest, ReplacesTheRunningLauncherRestartsAndRefuses) {
    ASSERT_FALSE(helperBytes.empty());
    ASSERT_FALSE(launcherBytes.empty());
    RunningCopy first(exe, L"--sleep 60000");
    ASSERT_TRUE(first.started());

    // The running file gives way to the launcher's bytes; it goes on running from ".old".
    PublishRelease(launcherBytes);
    EXPECT_EQ(CheckAndUpdate(), "");
    EXPECT_TRUE(test::ReadFile(exe) == launcherBytes) << "exe does not hold launcherBytes";
    EXPECT_TRUE(test::ReadFile(old) == helperBytes) << "old does not hold helperBytes";
    EXPECT_TRUE(app.restartPending);

    // The second update goes to ".1.old" while ".old" is held; the restart starts the new file.
    const std::string grown = helperBytes + "appended after the image";
    PublishRelease(grown);
    app.restartPending = false;
    EXPECT_EQ(CheckAndUpdate(), "");
    EXPECT_TRUE(test::ReadFile(exe) == grown) << "exe does not hold grown";
    EXPECT_TRUE(test::ReadFile(numbered) == launcherBytes) << "numbered does not hold launcherBytes";
    EXPECT_TRUE(test::ReadFile(old) == helperBytes) << "old does not hold helperBytes";

    const fs::path record = temp / "record.txt";
    test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));
    const bool restarted = RestartAfterUpdate(app, exe);
    test::UnsetTestEnv("HELPER_RECORD");
    EXPECT_TRUE(restarted);
    const std::vector<std::string> lines = test::WaitForRecord(record);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], testing::HasSubstr(PathToUtf8(exe.filename())));
    EXPECT_TRUE(fs::equivalent(Utf8Path(lines[1]), temp.path())) << lines[1];

    // A download that is not what the release says leaves everything as it was.
    PublishRelease(launcherBytes, test::Sha256Of("something else"));
    EXPECT_NE(CheckAndUpdate(), "");
    EXPECT_TRUE(test::ReadFile(exe) == grown) << "exe does not hold grown";
    EXPECT_TRUE(test::ReadFile(numbered) == launcherBytes) << "numbered does not hold launcherBytes";
    EXPECT_FALSE(fs::exists(temp / "helper_child.exe.2.old"));

    // Once the old launcher has ended, the next start clears both replaced files away.
    first.End();
    RemoveReplacedExecutables(exe);
    EXPECT_FALSE(fs::exists(old));
    EXPECT_FALSE(fs::exists(numbered));
    EXPECT_TRUE(test::ReadFile(exe) == grown) << "exe does not hold grown";
}

}  // namespace
}  // namespace launcher
