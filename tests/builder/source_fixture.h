#pragma once
// A Builder in a fresh base folder that keeps what it reports and logs, with the fake git at hand
// (a copy of the helper child at tools/git/cmd/git, git.exe on Windows); the fake cmake is placed
// the same way.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "builder/builder.h"
#include "platform/text.h"
#include "tests/support/fake_tools.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace launcher::test {

// What the caller of Builder::Git asked for: a run's arguments after the setting that every
// run is given first, which must be there.
inline std::vector<std::string> CallerArguments(const ToolRun& run) {
    const std::vector<std::string> setting = {"-c", "core.longpaths=true"};
    if (run.arguments.size() < 2 || !std::equal(setting.begin(), setting.end(), run.arguments.begin())) {
        ADD_FAILURE() << "git was run without -c core.longpaths=true";
        return run.arguments;
    }
    return std::vector<std::string>(run.arguments.begin() + 2, run.arguments.end());
}

class SourceFixture : public testing::Test {
protected:
    SourceFixture() {
        Game game;
        game.title = "Velmora";
        game.shortName = game.exe = "Velmora2";
        game.xbe = "default.xbe";
        game.xbes = {"default.xbe"};
        game.branch = "main";
        std::filesystem::create_directories(base);
        builder = std::make_unique<Builder>(game, base, nullptr, platform.get());
        builder->statusCallback = [this](const Status& status) { statuses.push_back(status); };
        builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
    }

    ~SourceFixture() override {
        for (const char* name : {"HELPER_RUNS", "HELPER_GIT_FAIL", "HELPER_CMAKE_FAIL", "HELPER_TOOL_SLEEP"})
            UnsetTestEnv(name);
    }

    std::filesystem::path FakeGitPath() const {
        return builder->ToolDir("git") / "cmd" / ("git" + platform->ExeSuffix());
    }

    // The fake git in place, recording its runs in runsFile.
    void PlaceFakeGit() {
        PlaceFakeTool(FakeGitPath());
        SetTestEnv("HELPER_RUNS", PathToUtf8(runsFile));
    }

    std::vector<ToolRun> Runs() const { return ReadToolRuns(runsFile); }

    std::unique_ptr<Platform> platform = MakePlatform();
    TempFolder temp;
    const std::filesystem::path base = temp / "base";
    const std::filesystem::path runsFile = temp / "runs.txt";
    std::unique_ptr<Builder> builder;
    std::vector<Status> statuses;
    std::vector<std::string> logged;
};

}  // namespace launcher::test
