// The start-up check over a Builder on a temporary base folder, the release answer coming from the
// test's own code host through the real client: what it logs, what it offers, and that the game
// question only ever moves gameUpdateReady when it was answered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "app/update_check.h"
#include "tests/app/connected_app.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::HasSubstr;
using testing::IsEmpty;

constexpr char kRepo[] = "velmora-port/velmora2";
constexpr char kAnswerDigest[] = "5f70bf18a086007016e948b04aed3b82103a36bea41755b6cddfaf10ace3c6ef";

enum class GameState { NotInstalled, PackageBuiltByV11, GitCannotAnswer };

struct CheckCase {
    std::string name;
    std::string own;
    std::string tag;   // "" publishes no release: the lookup gets 404
    GameState game;
    bool preset;       // gameUpdateReady before the check
    std::string line;  // what the one "update check: " line holds; "" for no such line
    bool offered;
    bool ready;        // gameUpdateReady after the check
};

class CheckForUpdatesTest : public testing::TestWithParam<CheckCase> {
protected:
    void SetUp() override {
        const CheckCase& c = GetParam();
        app.http = std::make_unique<test::HttpThrough>(host.http());
        app.game.shortName = "Velmora2";
        app.game.exe = "velmora2";
        app.game.repo = test::CodeHost::RepoUrl(kRepo);
        app.game.version = c.own;
        if (c.game == GameState::PackageBuiltByV11) app.game.package = "Velmora2-windows.zip";
        test::ConnectBuilder(app, temp / "Velmora2");
        if (!c.tag.empty()) {
            const std::string url = test::CodeHost::RepoUrl(kRepo) + "/releases/download/" + c.tag + "/Velmora2Launcher.exe";
            host.PublishLatestReleaseAnswer(
                kRepo, R"({"tag_name": ")" + c.tag + R"(", "assets": [{"name": "Velmora2Launcher.exe", "size": 4096, )" +
                           R"("digest": "sha256:)" + kAnswerDigest + R"(", "browser_download_url": ")" + url + R"("}]})");
        }
        switch (c.game) {
        case GameState::NotInstalled:
            break;
        case GameState::PackageBuiltByV11:
            test::WriteFile(app.builder->GameExePath(), "exe");
            test::WriteFile(app.builder->PlayFolder() / "velmora2.dll", "dll");
            app.builder->SaveSetting("built", "v1.1");
            break;
        case GameState::GitCannotAnswer:
            test::WriteFile(app.builder->GameExePath(), "exe");
            fs::create_directories(app.baseFolder / "source/.git");
            break;
        }
        app.gameUpdateReady = c.preset;
    }

    std::vector<std::string> CheckLines() {
        std::lock_guard<std::mutex> lock(app.mutex);
        std::vector<std::string> lines;
        for (const std::string& line : app.log) {
            if (line.find("update check: ") != std::string::npos) lines.push_back(line);
        }
        return lines;
    }

    test::TempFolder temp;
    test::CodeHost host;
    App app;
};

TEST_P(CheckForUpdatesTest, LogsOffersAndAsksAboutTheGame) {
    const CheckCase& c = GetParam();
    std::string error = "earlier error";
    EXPECT_TRUE(CheckForUpdates(app, error));
    EXPECT_EQ(error, "");

    const std::vector<std::string> lines = CheckLines();
    if (c.line.empty()) {
        EXPECT_THAT(lines, IsEmpty());
        EXPECT_THAT(host.http().asked, IsEmpty());
    } else {
        ASSERT_EQ(lines.size(), 1u);
        // The log line carries the Builder's time stamp in front; a refusal names the address asked.
        EXPECT_THAT(lines[0], HasSubstr(c.line));
    }
    EXPECT_EQ(app.launcherOffered, c.offered);
    {
        std::lock_guard<std::mutex> lock(app.releaseMutex);
        if (c.offered) {
            EXPECT_EQ(app.offeredRelease.tag, c.tag);
            EXPECT_EQ(app.offeredRelease.url,
                      test::CodeHost::RepoUrl(kRepo) + "/releases/download/" + c.tag + "/Velmora2Launcher.exe");
            EXPECT_EQ(app.offeredRelease.sha256, kAnswerDigest);
            EXPECT_EQ(app.offeredRelease.size, 4096u);
        } else {
            EXPECT_EQ(app.offeredRelease.tag, "");
        }
    }
    EXPECT_EQ(app.gameUpdateReady, c.ready);
}

// As start-up runs it: a task with an empty done message, whose outcome is an empty notice.
TEST_P(CheckForUpdatesTest, AsTheStartUpTaskItEndsWithAnEmptyNotice) {
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        app.notice = "earlier notice";
        app.error = "earlier error";
    }
    App* const self = &app;
    app.RunTask([self](std::string& error) { return CheckForUpdates(*self, error); }, "");
    ASSERT_TRUE(test::WaitUntilIdle(app)) << "the check did not end";
    std::lock_guard<std::mutex> lock(app.mutex);
    EXPECT_EQ(app.error, "");
    EXPECT_EQ(app.notice, "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CheckForUpdatesTest,
    testing::Values(
        CheckCase{"DevelopmentBuildAsksNothing", "dev", "v1.3", GameState::NotInstalled, false, "", false, false},
        CheckCase{"NewerReleaseOffered", "v1.2", "v1.3", GameState::NotInstalled, false,
                  "update check: v1.3 is out, this launcher is v1.2: offered", true, false},
        CheckCase{"SameVersionOtherSpelling", "v1.2", "V1.2.0", GameState::NotInstalled, false,
                  "update check: the latest release is V1.2.0, this launcher is v1.2", false, false},
        CheckCase{"OlderReleaseNotOffered", "v1.2", "v1.1", GameState::NotInstalled, false,
                  "update check: the latest release is v1.1, this launcher is v1.2", false, false},
        // The tag as the answer's JSON spells it: a line break, which the log must not pass on.
        CheckCase{"ALineBreakInTheTagIsLoggedEscaped", "v1.2", "v1.1\\n12:00:00 forged", GameState::NotInstalled, false,
                  "update check: the latest release is v1.1\\n12:00:00 forged, this launcher is v1.2", false, false},
        CheckCase{"NoPublishedRelease", "v1.2", "", GameState::NotInstalled, false,
                  "update check: the server answered 404 for ",
                  false, false},
        CheckCase{"GameBuiltByAnOlderLauncher", "v1.2", "v1.2", GameState::PackageBuiltByV11, false,
                  "update check: the latest release is v1.2, this launcher is v1.2", false, true},
        CheckCase{"NotInstalledKeepsThePresetFlag", "v1.2", "v1.2", GameState::NotInstalled, true,
                  "update check: the latest release is v1.2, this launcher is v1.2", false, true},
        CheckCase{"FailedQuestionKeepsTrue", "dev", "", GameState::GitCannotAnswer, true, "", false, true},
        CheckCase{"FailedQuestionKeepsFalse", "dev", "", GameState::GitCannotAnswer, false, "", false, false}),
    test::CaseName());

}  // namespace
}  // namespace launcher
