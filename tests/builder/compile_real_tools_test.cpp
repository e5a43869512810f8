// Configure and compile with the host's cmake, ninja and gcc on the fake port's sources: native only.
#ifndef _WIN32
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "tests/builder/source_fixture.h"
#include "tests/support/port_repo.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::Contains;
using testing::Not;
using testing::StartsWith;

constexpr char kToolsChanged[] = "the build tools changed: CMake's cache is made again";

// Processes whose working folder lies in folder (a zombie has none), with their command lines.
std::vector<std::string> ProcessesWorkingIn(const fs::path& folder) {
    std::vector<std::string> found;
    const std::string prefix = fs::canonical(folder).string();
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code linkError;
        const fs::path cwd = fs::read_symlink(it->path() / "cwd", linkError);
        if (linkError || cwd.string().rfind(prefix, 0) != 0) continue;
        std::string commandLine = test::ReadFile(it->path() / "cmdline");
        std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
        found.push_back(it->path().filename().string() + ": " + commandLine);
    }
    return found;
}

// The same once those that were already ending are gone (up to a few seconds): what is left still runs.
std::vector<std::string> ProcessesLeftIn(const fs::path& folder) {
    std::vector<std::string> found = ProcessesWorkingIn(folder);
    for (int i = 0; i < 50 && !found.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        found = ProcessesWorkingIn(folder);
    }
    return found;
}

class CompileRealToolsTest : public test::SourceFixture {
protected:
    CompileRealToolsTest() {
        // Its own status format would change ninja's step counters.
        test::UnsetTestEnv("NINJA_STATUS");
        fs::copy(test::FakePortFolder(), base / "source", fs::copy_options::recursive);
        test::WriteFile(base / "source/assets/default.xbe", "XBEH");
        for (const char* id : {"cmake", "ninja"}) {
            Tool& tool = builder->toolchain.tools.emplace_back();
            tool.id = id;
            tool.stamp = std::string(id) + "-1";
        }
        Tool& optional = builder->toolchain.tools.emplace_back();
        optional.id = "ffmpeg";
        optional.stamp = "ffmpeg-1";
        optional.optional = true;
    }

    fs::path Build() const { return base / "source/out/build/release"; }

    bool Compile() {
        logged.clear();
        statuses.clear();
        return builder->Compile(error);
    }

    bool Configured() const {
        return std::any_of(logged.begin(), logged.end(), [](const std::string& line) {
            return line.rfind("cmake: -- The C compiler identification", 0) == 0;
        });
    }

    bool Reset() const { return std::find(logged.begin(), logged.end(), kToolsChanged) != logged.end(); }

    std::string error;
};

TEST_F(CompileRealToolsTest, BuildsTheFakePortAndKeepsTheCacheWhileTheToolsStay) {
    ASSERT_TRUE(Compile()) << error;
    EXPECT_TRUE(Configured());
    EXPECT_FALSE(Reset());
    EXPECT_EQ(test::ReadFile(Build() / ".launcher-tools"), "cmake cmake-1\nninja ninja-1\n");
    EXPECT_TRUE(fs::exists(Build() / "Velmora2"));
    EXPECT_TRUE(fs::exists(Build() / "Velmora2.so"));
    EXPECT_THAT(logged, Contains(StartsWith("cmake: fakeport INCLUDE=")));
    EXPECT_THAT(logged, Contains(testing::EndsWith("GIT_CONFIG_KEY_0=safe.directory")));
    // Ninja's own step lines become the progress.
    std::vector<std::string> steps;
    for (const Status& status : statuses) {
        if (status.detail.find(" steps") != std::string::npos) steps.push_back(status.detail);
    }
    ASSERT_FALSE(steps.empty());
    const std::string last = steps.back();
    const size_t of = last.find(" of ");
    ASSERT_NE(of, std::string::npos);
    const std::string total = last.substr(of + 4, last.size() - of - 4 - std::string(" steps").size());
    EXPECT_EQ(last, total + " of " + total + " steps");
    EXPECT_EQ(statuses.back().fraction, 1.0);

    ASSERT_TRUE(Compile()) << error;
    EXPECT_FALSE(Configured());
    EXPECT_FALSE(Reset());

    builder->toolchain.tools[1].stamp = "ninja-2";
    ASSERT_TRUE(Compile()) << error;
    EXPECT_TRUE(Reset());
    EXPECT_TRUE(Configured());
    EXPECT_EQ(test::ReadFile(Build() / ".launcher-tools"), "cmake cmake-1\nninja ninja-2\n");

    fs::remove(Build() / ".launcher-tools");
    ASSERT_TRUE(Compile()) << error;
    EXPECT_TRUE(Reset());
    EXPECT_TRUE(Configured());
    ASSERT_TRUE(Compile()) << error;
    EXPECT_FALSE(Reset());
    EXPECT_FALSE(Configured());
}

TEST_F(CompileRealToolsTest, ACompileErrorFailsTheBuildAndKeepsTheRecord) {
    std::ofstream(base / "source/main.c", std::ios::app) << "this is no C\n";
    EXPECT_FALSE(Compile());
    EXPECT_EQ(error, "The build failed, see launcher.log");
    EXPECT_EQ(test::ReadFile(Build() / ".launcher-tools"), "cmake cmake-1\nninja ninja-1\n");
    EXPECT_THAT(logged, Contains(StartsWith("FAILED: ")));
}

TEST_F(CompileRealToolsTest, WithoutTheXbeTheConfigureFailsAndRecordsNothing) {
    fs::remove(base / "source/assets/default.xbe");
    EXPECT_FALSE(Compile());
    EXPECT_EQ(error, "Preparing the build failed, see launcher.log");
    EXPECT_FALSE(fs::exists(Build() / ".launcher-tools"));
    EXPECT_THAT(logged, Contains("cmake:   fakeport: assets/default.xbe is missing"));
}

// Ninja runs each build command in a process group of its own: a stop must still end them all.
TEST_F(CompileRealToolsTest, AStopEndsTheBuildAndEveryCommandItStarted) {
    test::WriteFile(base / "source/slow-build", "");
    builder->statusCallback = [this](const Status& status) {
        statuses.push_back(status);
        if (status.detail.find(" steps") != std::string::npos) builder->cancel = true;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Compile());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30.0);
    EXPECT_EQ(error, "cancelled");
    EXPECT_THAT(ProcessesLeftIn(base), testing::IsEmpty());
}
}  // namespace
}  // namespace launcher
#endif
