// After a self-update: the start-up removal of the replaced executables, and the restart of the new
// one from the main loop through a Platform that records the start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>

#include "app/after_update.h"
#include "tests/support/case_name.h"
#include "tests/support/forwarding_platform.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

struct RemovalCase {
    std::string name;
    std::string entry;  // beside launcher.exe
    bool folder;
    bool goes;
};

class SelfUpdateRemovalTest : public testing::TestWithParam<RemovalCase> {};

TEST_P(SelfUpdateRemovalTest, RemovesOnlyTheReplacedExecutables) {
    const RemovalCase& c = GetParam();
    test::TempFolder temp;
    const fs::path exe = temp / "launcher.exe";
    test::WriteFile(exe, "running");
    const fs::path entry = temp / c.entry;
    if (c.folder) {
        fs::create_directories(entry);
    } else {
        test::WriteFile(entry, "x");
    }
    RemoveReplacedExecutables(exe);
    EXPECT_EQ(fs::exists(entry), !c.goes);
    EXPECT_EQ(test::ReadFile(exe), "running");
}

INSTANTIATE_TEST_SUITE_P(Names, SelfUpdateRemovalTest,
                         testing::Values(RemovalCase{"Replaced", "launcher.exe.old", false, true},
                                         RemovalCase{"Numbered", "launcher.exe.3.old", false, true},
                                         RemovalCase{"LongNumber", "launcher.exe.120.old", false, true},
                                         RemovalCase{"NotANumber", "launcher.exe.x.old", false, false},
                                         RemovalCase{"EmptyNumber", "launcher.exe..old", false, false},
                                         RemovalCase{"OtherEnding", "launcher.exe.old.txt", false, false},
                                         RemovalCase{"OtherProgram", "other.exe.old", false, false},
                                         RemovalCase{"Download", "launcher.exe.new", false, false},
                                         RemovalCase{"Folder", "launcher.exe.4.old", true, false}),
                         test::CaseName());

TEST(SelfUpdateRemovalTest, RemovesEveryReplacedFileInOneGo) {
    test::TempFolder temp;
    const fs::path exe = temp / "launcher.exe";
    test::WriteFile(exe, "running");
    test::WriteFile(temp / "launcher.exe.old", "1");
    test::WriteFile(temp / "launcher.exe.1.old", "2");
    test::WriteFile(temp / "launcher.exe.99.old", "3");
    RemoveReplacedExecutables(exe);
    EXPECT_FALSE(fs::exists(temp / "launcher.exe.old"));
    EXPECT_FALSE(fs::exists(temp / "launcher.exe.1.old"));
    EXPECT_FALSE(fs::exists(temp / "launcher.exe.99.old"));
}

class SelfUpdateRestartTest : public testing::Test {
protected:
    SelfUpdateRestartTest() {
        auto fake = std::make_unique<test::ForwardingPlatform>();
        fake->recordStartsOnly = true;
        platform = fake.get();
        app.platform = std::move(fake);
        app.restartPending = true;
    }

    std::string Error() {
        std::lock_guard<std::mutex> lock(app.mutex);
        return app.error;
    }

    App app;
    test::ForwardingPlatform* platform = nullptr;
    const fs::path exe = fs::path("C:/Games/Velmora2/launcher.exe");
};

TEST_F(SelfUpdateRestartTest, StartsTheNewLauncherFromItsFolderAndLeavesTheLoop) {
    EXPECT_TRUE(RestartAfterUpdate(app, exe));
    ASSERT_EQ(platform->starts.size(), 1u);
    EXPECT_EQ(platform->starts[0].first, exe);
    EXPECT_EQ(platform->starts[0].second, exe.parent_path());
    EXPECT_EQ(Error(), "");
}

TEST_F(SelfUpdateRestartTest, AFailedStartStaysAndSaysWhy) {
    platform->startError = "Could not start the game (error 2: The system cannot find the file specified.)";
    EXPECT_FALSE(RestartAfterUpdate(app, exe));
    EXPECT_EQ(Error(),
              "The new launcher is in place but did not start: Could not start the game (error 2: The system cannot "
              "find the file specified.) Start it again.");
    EXPECT_FALSE(app.restartPending);
    // The next turn of the loop tries no more.
    EXPECT_FALSE(RestartAfterUpdate(app, exe));
    EXPECT_EQ(platform->starts.size(), 1u);
}

TEST_F(SelfUpdateRestartTest, NothingStartsWhileATaskRuns) {
    app.busy = true;
    EXPECT_FALSE(RestartAfterUpdate(app, exe));
    EXPECT_TRUE(platform->starts.empty());
    EXPECT_TRUE(app.restartPending);
    app.busy = false;
}

TEST_F(SelfUpdateRestartTest, NothingStartsWithoutANewLauncher) {
    app.restartPending = false;
    EXPECT_FALSE(RestartAfterUpdate(app, exe));
    EXPECT_TRUE(platform->starts.empty());
}

}  // namespace
}  // namespace launcher
