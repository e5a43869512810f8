// The launcher killed in the middle of moving the new version into place: no point of the move
// may cost the user a file, and the next build must put the game together again.
//
// The death test's child runs this test again from its start ("threadsafe" style, the only one
// Windows has): until EXPECT_EXIT nothing may change the world, so the child learns the parent's
// folder from the environment and sets nothing up itself.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "builder/package_pipeline.h"
#include "platform/text.h"
#include "tests/builder/package_world.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/fake_http.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr char kFolderVariable[] = "LAUNCHER_KILL_TEST_FOLDER";
constexpr int kKilled = 42;

struct KillCase {
    const char* name;
    const char* point;
    const char* entry;  // "{exe}" stands for the game's executable
};

// Unsets the variable however the test ends, so that no later test in this process takes itself
// for a death test's child.
struct VariableGuard {
    ~VariableGuard() { test::UnsetTestEnv(kFolderVariable); }
};

class PackageKillDeathTest : public testing::TestWithParam<KillCase> {
protected:
    std::unique_ptr<Builder> MakeBuilder(const fs::path& root, Http* http) {
        auto builder = std::make_unique<Builder>(test::PackageGame(), test::BaseFolderIn(root), http, platform.get());
        builder->sleepFor = [](std::chrono::milliseconds) {};
        return builder;
    }

    std::string EntryName() const {
        const std::string entry = GetParam().entry;
        return entry == "{exe}" ? "Velmora2" + platform->ExeSuffix() : entry;
    }

    // Runs the build and ends the process at the case's point; returns only when the point never came.
    void BuildUntilKilled(const fs::path& root) {
        test::FakeHttp offline;
        std::unique_ptr<Builder> builder = MakeBuilder(root, &offline);
        const std::string point = GetParam().point;
        const std::string entry = EntryName();
        builder->replaceHook = [&point, &entry](const std::string& at, const std::string& name) {
            if (at == point && name == entry) std::_Exit(kKilled);
        };
        std::string error;
        builder->BuildPackage(error);
    }

    std::unique_ptr<Platform> platform = MakePlatform();
};

TEST_P(PackageKillDeathTest, LosesNoFileOfTheUsersAndTheNextBuildMends) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::optional<test::TempFolder> temp;
    VariableGuard guard;
    fs::path root = platform->GetEnv(kFolderVariable);
    if (root.empty()) {
        temp.emplace();
        root = temp->path();
        const fs::path play = test::BaseFolderIn(root) / "play";
        test::PlaceUserFiles(play);
        test::PlaceOlderVersion(play, platform->ExeSuffix());
        test::PlacePackageBesideTheLauncher(root);
        test::ChooseGame(*MakeBuilder(root, nullptr), root / "disc");
        test::SetTestEnv(kFolderVariable, PathToUtf8(root));
    }

    EXPECT_EXIT(BuildUntilKilled(root), testing::ExitedWithCode(kKilled), "");

    const fs::path play = test::BaseFolderIn(root) / "play";
    EXPECT_EQ(test::UserFilesIn(play), test::UserFiles());
    // Every point lies after the stamp left: a side folder that lost entries never claims the package.
    EXPECT_FALSE(fs::exists(play / ".next" / "package.stamp"));
    test::FakeHttp offline;
    std::unique_ptr<Builder> builder = MakeBuilder(root, &offline);
    std::string error;
    ASSERT_TRUE(builder->BuildPackage(error)) << error;
    test::ExpectNewVersion(play, platform->ExeSuffix(),
                           test::StampOfPackageBesideTheLauncher(root / test::kPackageFixtureName), true);
    EXPECT_FALSE(fs::exists(play / ".next"));
    EXPECT_THAT(offline.asked, testing::IsEmpty());
}

// Under Wine each row costs seconds of process starts: there the first two serve.
std::vector<KillCase> KillPoints() {
    std::vector<KillCase> points = {{"stamp_removed", "stamp removed", "package.stamp"},
                                    {"data_target_removed", "target removed", "data"}};
#ifndef _WIN32
    points.insert(points.end(), {{"data_moved", "moved", "data"},
                                 {"executable_moved", "moved", "{exe}"},
                                 {"library_moved", "moved", "Velmora2.dll"}});
#endif
    return points;
}

INSTANTIATE_TEST_SUITE_P(Points, PackageKillDeathTest, testing::ValuesIn(KillPoints()), test::CaseName());

}  // namespace
}  // namespace launcher
