// The copy of a disc image into play/assets where no hard link can be made: its reports, its
// failures and stops, and that a copy cut short is never left under the image's name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#endif

#include "platform/same_file.h"
#include "tests/builder/adopt_run.h"
#include "tests/support/case_name.h"
#include "tests/support/forwarding_platform.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using Json = nlohmann::json;
using test::Exists;
using test::NamesIn;
using test::ReadFile;
using test::WriteFile;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr std::size_t kMiB = 1u << 20;
constexpr char kDriveFull[] = "Could not copy the disc image (is the drive full?)";

// Bytes that differ from block to block, so a block written twice or out of place shows.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

// The image lies outside the launcher's folders; its name has blanks, as the user's often do.
struct CopyPaths {
    explicit CopyPaths(const fs::path& root)
        : base(root / "Velmora2"),
          source(root / "Images" / "Velmora (Europe).iso"),
          assets(base / "play" / "assets"),
          destination(assets / "Velmora (Europe).iso"),
          partial(assets / "Velmora (Europe).partial.iso") {}

    fs::path base, source, assets, destination, partial;
};

class AdoptCopyTest : public testing::Test {
protected:
    void SetUp() override {
        platform.refuseHardLink = true;
        WriteFile(paths.base / "launcher.json", test::kEarlierSettings);
    }

    test::TempFolder temp;
    CopyPaths paths{temp.path()};
    test::ForwardingPlatform platform;
    test::AdoptRun run{paths.base, platform};
};

struct CopyCase {
    const char* name;
    std::size_t size;
    std::vector<Status> reports;
};

class AdoptCopySizeTest : public AdoptCopyTest, public testing::WithParamInterface<CopyCase> {};

TEST_P(AdoptCopySizeTest, CopiesTheImageWithOneReportPerBlock) {
    const std::string image = Pattern(GetParam().size);
    WriteFile(paths.source, image);
    const GameSource chosen = test::ChosenImage(paths.source);

    ASSERT_TRUE(run.Adopt(chosen)) << run.error;
    EXPECT_EQ(platform.hardLinksAsked, 1);
    EXPECT_TRUE(ReadFile(paths.destination) == image) << "the copy differs from the image";
    EXPECT_FALSE(SameFile(paths.destination, paths.source));
    EXPECT_EQ(NamesIn(paths.assets), (std::set<std::string>{paths.destination.filename().string()}));
    ASSERT_EQ(run.reports.size(), GetParam().reports.size());
    for (std::size_t i = 0; i < run.reports.size(); ++i) {
        EXPECT_EQ(run.reports[i].title, "Copying the disc image");
        EXPECT_EQ(run.reports[i].detail, GetParam().reports[i].detail) << "report " << i;
        EXPECT_DOUBLE_EQ(run.reports[i].fraction, GetParam().reports[i].fraction) << "report " << i;
    }
    EXPECT_THAT(run.logged, ElementsAre("copying " + PathToUtf8(paths.source) + " to " + PathToUtf8(paths.destination),
                                        test::GameLine(chosen, ", ")));
    EXPECT_EQ(Json::parse(ReadFile(paths.base / "launcher.json")), test::AdoptedSettings(chosen));
}

constexpr double kTwentyMiBAndThree = 20.0 * kMiB + 3;

INSTANTIATE_TEST_SUITE_P(
    Sizes, AdoptCopySizeTest,
    testing::Values(CopyCase{"empty", 0, {{"", "0 MB of 0 MB", -1.0}}},
                    // The last read of a file of whole blocks delivers nothing and is reported too.
                    CopyCase{"two_whole_blocks",
                             16 * kMiB,
                             {{"", "8 MB of 16 MB", 0.5}, {"", "16 MB of 16 MB", 1.0}, {"", "16 MB of 16 MB", 1.0}}},
                    CopyCase{"twenty_mib_and_three_bytes",
                             20 * kMiB + 3,
                             {{"", "8 MB of 20 MB", 8 * kMiB / kTwentyMiBAndThree},
                              {"", "16 MB of 20 MB", 16 * kMiB / kTwentyMiBAndThree},
                              {"", "20 MB of 20 MB", 1.0}}}),
    test::CaseName());

TEST_F(AdoptCopyTest, AnImageThatCannotBeReadFailsAndLeavesNothing) {
    EXPECT_FALSE(run.Adopt(test::ChosenImage(paths.source)));
    EXPECT_EQ(run.error, kDriveFull);
    EXPECT_THAT(NamesIn(paths.assets), IsEmpty());
    EXPECT_EQ(ReadFile(paths.base / "launcher.json"), test::kEarlierSettings);
}

TEST_F(AdoptCopyTest, AStopEndsTheCopyAndLeavesNothing) {
    WriteFile(paths.source, Pattern(20 * kMiB + 3));
    run.builder.statusCallback = [this](const Status& status) {
        run.reports.push_back(status);
        run.builder.cancel = true;
    };
    EXPECT_FALSE(run.Adopt(test::ChosenImage(paths.source)));
    EXPECT_EQ(run.error, "cancelled");
    EXPECT_EQ(run.reports.size(), 1u);
    EXPECT_THAT(NamesIn(paths.assets), IsEmpty());
    EXPECT_EQ(ReadFile(paths.base / "launcher.json"), test::kEarlierSettings);
}

TEST_F(AdoptCopyTest, AStopLeftByAnEarlierTaskDoesNotEndTheCopy) {
    const std::string image = Pattern(20 * kMiB + 3);
    WriteFile(paths.source, image);
    run.builder.cancel = true;
    EXPECT_TRUE(run.Adopt(test::ChosenImage(paths.source))) << run.error;
    EXPECT_FALSE(run.builder.cancel);
    EXPECT_TRUE(ReadFile(paths.destination) == image) << "the copy differs from the image";
}

// A death test's child runs the test again from its start: it takes the parent's folder from the
// environment, so that only the parent makes files.
class DeathTestFolder {
public:
    DeathTestFolder() {
        const std::string inherited = MakePlatform()->GetEnv(kVariable);
        if (!inherited.empty()) {
            path_ = Utf8Path(inherited);
            return;
        }
        own_.emplace();
        path_ = own_->path();
        test::SetTestEnv(kVariable, PathToUtf8(path_));
    }
    ~DeathTestFolder() {
        if (own_) test::UnsetTestEnv(kVariable);
    }

    bool IsParent() const { return own_.has_value(); }
    const fs::path& path() const { return path_; }

private:
    static constexpr char kVariable[] = "LAUNCHER_ADOPT_DEATH_FOLDER";
    std::optional<test::TempFolder> own_;
    fs::path path_;
};

TEST(AdoptCopyDeathTest, AKillDuringTheCopyLeavesOnlyTheTemporaryName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const DeathTestFolder folder;
    const CopyPaths paths(folder.path());
    const std::string image = Pattern(8 * kMiB + 3);
    if (folder.IsParent()) {
        WriteFile(paths.source, image);
        WriteFile(paths.base / "launcher.json", test::kEarlierSettings);
    }
    test::ForwardingPlatform platform;
    platform.refuseHardLink = true;
    {
        test::AdoptRun run(paths.base, platform);
        run.builder.statusCallback = [](const Status&) { std::_Exit(7); };
        EXPECT_EXIT(run.Adopt(test::ChosenImage(paths.source)), testing::ExitedWithCode(7), "");
    }
    EXPECT_EQ(NamesIn(paths.assets), (std::set<std::string>{paths.partial.filename().string()}));
    EXPECT_EQ(ReadFile(paths.base / "launcher.json"), test::kEarlierSettings);

    test::AdoptRun again(paths.base, platform);
    EXPECT_TRUE(again.Adopt(test::ChosenImage(paths.source))) << again.error;
    EXPECT_EQ(NamesIn(paths.assets), (std::set<std::string>{paths.destination.filename().string()}));
    EXPECT_TRUE(ReadFile(paths.destination) == image) << "the copy differs from the image";
}

#ifndef _WIN32

// A file-size limit makes the disk "full" at 8 MiB: the first block fits, and the last 3 bytes
// stay in the stream's buffer until the close, where their write fails.
TEST(AdoptCopyDeathTest, AWriteThatFailsAtTheCloseFailsTheCopy) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const DeathTestFolder folder;
    const CopyPaths paths(folder.path());
    if (folder.IsParent()) {
        WriteFile(paths.source, Pattern(8 * kMiB + 3));
        WriteFile(paths.base / "launcher.json", test::kEarlierSettings);
    }
    test::ForwardingPlatform platform;
    platform.refuseHardLink = true;
    test::AdoptRun run(paths.base, platform);
    const auto adoptOnAFullDisk = [&] {
        const rlimit limit{8 * kMiB, 8 * kMiB};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::signal(SIGXFSZ, SIG_IGN);
        const bool adopted = run.Adopt(test::ChosenImage(paths.source));
        std::fprintf(stderr, "%s\n", adopted ? "adopted" : run.error.c_str());
        std::_Exit(adopted ? 0 : 3);
    };
    EXPECT_EXIT(adoptOnAFullDisk(), testing::ExitedWithCode(3),
                "Could not copy the disc image \\(is the drive full\\?\\)");
    EXPECT_FALSE(Exists(paths.destination));
    EXPECT_FALSE(Exists(paths.partial));
    EXPECT_EQ(ReadFile(paths.base / "launcher.json"), test::kEarlierSettings);
}

TEST(AdoptCrossDeviceTest, AnImageOnAnotherFileSystemIsCopied) {
    std::error_code ec;
    if (!fs::is_directory("/dev/shm", ec)) GTEST_SKIP() << "no /dev/shm here";
    test::TempFolder temp;
    test::TempFolder shm("/dev/shm");
    struct stat home {};
    struct stat other {};
    if (stat(temp.path().c_str(), &home) != 0 || stat(shm.path().c_str(), &other) != 0 || home.st_dev == other.st_dev) {
        GTEST_SKIP() << "/dev/shm is on the same file system as " << temp.path().parent_path();
    }
    const std::string image = Pattern(3 * kMiB + 5);
    WriteFile(shm / "Velmora.iso", image);
    const std::unique_ptr<Platform> platform = MakePlatform();
    test::AdoptRun run(temp / "Velmora2", *platform);
    ASSERT_TRUE(run.Adopt(test::ChosenImage(shm / "Velmora.iso"))) << run.error;
    const fs::path destination = temp / "Velmora2" / "play" / "assets" / "Velmora.iso";
    EXPECT_TRUE(ReadFile(destination) == image) << "the copy differs from the image";
    EXPECT_EQ(run.reports.size(), 1u);
    EXPECT_THAT(run.logged, ElementsAre("copying " + PathToUtf8(shm / "Velmora.iso") + " to " + PathToUtf8(destination),
                                        test::GameLine(test::ChosenImage(shm / "Velmora.iso"), ", ")));
}

#endif

}  // namespace
}  // namespace launcher
