#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "builder/archive_path.h"
#include "builder/package_pipeline.h"
#include "platform/text.h"
#include "tests/builder/zip_fixture.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::ZipFixture;
using testing::ElementsAre;

constexpr char kTitle[] = "Unpacking the game's package";

class UnpackPackageStageTest : public testing::Test {
protected:
    void SetUp() override {
        game.shortName = game.exe = "Velmora2";
        game.package = "Velmora2-win64.zip";
        builder = std::make_unique<Builder>(game, base, http.get(), platform.get());
        builder->statusCallback = [this](const Status& status) { statuses.push_back(status); };
        run.packagePath = ZipFixture("package.zip");
        run.sideFolder = side;
    }

    test::TempFolder temp;
    fs::path base = temp / "Velmora2";
    fs::path side = base / "play" / ".next";
    std::unique_ptr<Platform> platform = MakePlatform();
    std::unique_ptr<Http> http = MakeHttp();
    Game game;
    std::unique_ptr<Builder> builder;
    PackageRun run;
    std::vector<Status> statuses;
};

// The package holds every spelling of the user's folders, of the build's work files and of
// top-level settings, with '/' and with '\', beside the names that only look like them.
TEST_F(UnpackPackageStageTest, UnpacksOnlyWhatIsNotTheUsers) {
    ASSERT_TRUE(UnpackPackageStage(*builder, run)) << run.error;
    EXPECT_THAT(test::TreeOf(side), ElementsAre(".toml", "bin/", "bin/game.dll", "compiler/", "compiler/cache.bin",
                                                "docs/", "docs/settings.toml", "hdd", "hddx/", "hddx/y"));
    EXPECT_EQ(test::ReadFile(side / "hdd"), "unpacked from ./hdd");  // the later of the two
    EXPECT_EQ(test::ReadFile(side / "docs/settings.toml"), "unpacked from docs\\settings.toml");
}

TEST_F(UnpackPackageStageTest, ReportsTheStartThenTheFractionOfBytesWritten) {
    ASSERT_TRUE(UnpackPackageStage(*builder, run)) << run.error;
    ASSERT_EQ(statuses.size(), 1u + 7u);  // the start, then one report for each file written
    EXPECT_EQ(statuses[0].title, kTitle);
    EXPECT_EQ(statuses[0].detail, "");
    EXPECT_EQ(statuses[0].fraction, 0.0);
    for (size_t i = 1; i < statuses.size(); ++i) {
        EXPECT_EQ(statuses[i].title, kTitle);
        EXPECT_EQ(statuses[i].detail, "");
        EXPECT_GT(statuses[i].fraction, statuses[i - 1].fraction);
    }
    // Most of the package is skipped, and skipped bytes never count as done.
    EXPECT_LT(statuses.back().fraction, 0.1);
}

TEST_F(UnpackPackageStageTest, AnEmptyPackageShowsNoBar) {
    PackageUnpackProgress(*builder, 0, 0);
    PackageUnpackProgress(*builder, 3, 4);
    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(statuses[0].fraction, -1.0);
    EXPECT_EQ(statuses[1].fraction, 0.75);
    EXPECT_EQ(statuses[1].title, kTitle);
}

struct FailureCase {
    const char* name;
    const char* package;
    bool cancelled;
};

class UnpackFailureTest : public UnpackPackageStageTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(UnpackFailureTest, PassesTheExtractionsTextOn) {
    const fs::path package = ZipFixture(GetParam().package);
    run.packagePath = package;
    builder->cancel = GetParam().cancelled;
    run.error = "earlier text";
    EXPECT_FALSE(UnpackPackageStage(*builder, run));
    std::string expected;
    if (GetParam().cancelled) {
        expected = "cancelled";
    } else if (std::string(GetParam().package) == "notzip.zip") {
        expected = "cannot open " + PathToUtf8(package) + " as a zip";
    } else {
        expected = "cannot write " + PathToUtf8(JoinPath(side, "data.txt")) + " from " + PathToUtf8(package);
    }
    EXPECT_EQ(run.error, expected);
    EXPECT_TRUE(fs::is_directory(side));
}

INSTANTIATE_TEST_SUITE_P(Cases, UnpackFailureTest,
                         testing::Values(FailureCase{"not_a_zip", "notzip.zip", false},
                                         FailureCase{"damaged_entry", "deflate.zip", false},
                                         FailureCase{"stopped", "package.zip", true}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
