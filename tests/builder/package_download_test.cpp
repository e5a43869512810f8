// The package download stage end to end: the loopback server stands in for the code host, and the
// real HTTP client of the build (libcurl, or WinHTTP under Wine) does the transfers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "builder/package_pipeline.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/digests.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::kPackageFixtureName;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::StartsWith;

constexpr char kTitle[] = "Downloading the game's package";
constexpr char kDescriptionName[] = "Velmora2-package.zip.json";
constexpr char kUnreadable[] = "The package's description for Velmora2-package.zip could not be read.";
constexpr char kNotFound[] = "Could not find the game's package for Velmora2-package.zip: ";
constexpr char kLatest[] = "https://api.github.com/repos/o/n/releases/latest";

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

class PackageDownloadTest : public testing::Test {
protected:
    void SetUp() override {
        game.title = "Velmora";
        game.shortName = game.exe = "Velmora2";
        game.repo = "https://github.com/o/n.git";
        game.version = "v1.2.3";
        game.package = kPackageFixtureName;
    }

    bool RunStage() {
        builder = std::make_unique<Builder>(game, temp / "base", &host.http(), platform.get());
        builder->statusCallback = [this](const Status& status) {
            statuses.push_back(status);
            if (onStatus) onStatus(status);
        };
        run.packageName = kPackageFixtureName;
        run.downloadsFolder = temp / "base" / "downloads";
        run.sideFolder = builder->PlayFolder() / ".next";
        run.error = "before";
        return DownloadPackageStage(*builder, run);
    }

    static std::string ReleaseAddress(const std::string& tag, const std::string& name) {
        return "https://github.com/o/n/releases/download/" + tag + "/" + name;
    }

    fs::path Downloaded() const { return temp / "base" / "downloads" / kPackageFixtureName; }

    std::vector<std::string> DownloadsFolderEntries() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(temp / "base" / "downloads", ec), end; !ec && it != end; it.increment(ec)) {
            names.push_back(PathToUtf8(it->path().filename()));
        }
        return names;
    }

    void PublishDescription(const std::string& text) {
        host.PublishReleaseFile("o/n", "v1.2.3", kDescriptionName, text);
    }

    // The statuses after the first, which the stage reports before the transfer starts.
    std::vector<Status> ByteProgress() const {
        EXPECT_FALSE(statuses.empty());
        return statuses.empty() ? statuses : std::vector<Status>(statuses.begin() + 1, statuses.end());
    }

    void ExpectFirstStatusBeforeTheTransfer() const {
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses[0].title, kTitle);
        EXPECT_EQ(statuses[0].detail, "");
        EXPECT_EQ(statuses[0].fraction, 0.0);
    }

    test::CodeHost host;
    test::TempFolder temp;
    std::unique_ptr<Platform> platform = MakePlatform();
    Game game;
    std::unique_ptr<Builder> builder;
    PackageRun run;
    std::vector<Status> statuses;
    std::function<void(const Status&)> onStatus;
    const std::string package = test::ReadFile(test::PackageFixturePath());
    const std::string digest = test::Sha256Of(package);
};

struct RepoCase {
    const char* name;
    const char* repo;
};

class PackageDownloadRepoTest : public PackageDownloadTest, public testing::WithParamInterface<RepoCase> {};

TEST_P(PackageDownloadRepoTest, AReleasedLauncherTakesThePackageOfItsOwnRelease) {
    game.repo = GetParam().repo;
    host.PublishPackage("o/n", "v1.2.3");
    ASSERT_TRUE(RunStage()) << run.error;
    EXPECT_THAT(host.http().asked,
                ElementsAre(ReleaseAddress("v1.2.3", kDescriptionName), ReleaseAddress("v1.2.3", kPackageFixtureName)));
    EXPECT_EQ(run.packagePath, Downloaded());
    EXPECT_EQ(test::ReadFile(Downloaded()), package);
    EXPECT_THAT(DownloadsFolderEntries(), ElementsAre(kPackageFixtureName));
    EXPECT_EQ(run.stamp, digest);
    EXPECT_EQ(run.error, "before");
}

INSTANTIATE_TEST_SUITE_P(Repos, PackageDownloadRepoTest,
                         testing::Values(RepoCase{"dot_git", "https://github.com/o/n.git"},
                                         RepoCase{"plain", "https://github.com/o/n"}),
                         test::CaseName());

TEST_F(PackageDownloadTest, AnUpperCaseDigestVerifiesAndIsTheStampAsWritten) {
    host.PublishPackage("o/n", "v1.2.3");
    PublishDescription("{\"sha256\": \"" + Upper(digest) + "\", \"size\": " + std::to_string(package.size()) + "}");
    ASSERT_TRUE(RunStage()) << run.error;
    EXPECT_EQ(test::ReadFile(Downloaded()), package);
    EXPECT_EQ(run.stamp, Upper(digest));
}

TEST_F(PackageDownloadTest, ARepositoryEndingInUpperCaseGitKeepsIt) {
    game.repo = "https://github.com/o/n.GIT";
    host.PublishPackage("o/n", "v1.2.3");
    EXPECT_FALSE(RunStage());
    EXPECT_THAT(run.error, StartsWith(kNotFound));
    const std::string description = "https://github.com/o/n.GIT/releases/download/v1.2.3/Velmora2-package.zip.json";
    EXPECT_THAT(host.http().asked, ElementsAre(description, description, description));
}

TEST_F(PackageDownloadTest, ADevelopmentLauncherTakesTheLatestRelease) {
    game.version = "dev";
    host.PublishLatestRelease("o/n", "v2.0.0");
    host.PublishPackage("o/n", "v2.0.0");
    ASSERT_TRUE(RunStage()) << run.error;
    EXPECT_THAT(host.http().asked, ElementsAre(kLatest, ReleaseAddress("v2.0.0", kDescriptionName),
                                               ReleaseAddress("v2.0.0", kPackageFixtureName)));
    EXPECT_EQ(test::ReadFile(Downloaded()), package);
}

TEST_F(PackageDownloadTest, ADevelopmentLauncherWithoutReleaseFails) {
    game.version = "dev";
    host.PublishPackage("o/n", "v1.2.3");
    EXPECT_FALSE(RunStage());
    ASSERT_THAT(run.error, StartsWith("Could not find the game's package: "));
    EXPECT_GT(run.error.size(), std::string("Could not find the game's package: ").size());
    EXPECT_THAT(host.http().asked, ElementsAre(kLatest, kLatest, kLatest));
    EXPECT_THAT(DownloadsFolderEntries(), IsEmpty());
}

struct DescriptionCase {
    const char* name;
    const char* text;  // nullptr: none published
    size_t requests;   // for the description: three when it is not there
};

class PackageDescriptionTest : public PackageDownloadTest, public testing::WithParamInterface<DescriptionCase> {};

TEST_P(PackageDescriptionTest, IsRefusedAndNothingIsDownloaded) {
    host.PublishPackage("o/n", "v1.2.3");
    if (GetParam().text != nullptr) {
        PublishDescription(GetParam().text);
    } else {
        fs::remove(host.folder() / "web/o/n/releases/download/v1.2.3" / kDescriptionName);
    }
    EXPECT_FALSE(RunStage());
    if (GetParam().text != nullptr) {
        EXPECT_EQ(run.error, kUnreadable);
    } else {
        EXPECT_THAT(run.error, StartsWith(kNotFound));
        EXPECT_GT(run.error.size(), std::string(kNotFound).size());
    }
    EXPECT_EQ(host.http().asked,
              std::vector<std::string>(GetParam().requests, ReleaseAddress("v1.2.3", kDescriptionName)));
    EXPECT_THAT(DownloadsFolderEntries(), IsEmpty());
    EXPECT_EQ(run.stamp, "");
}

#define DIGEST "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcdef"
#define DIGEST63 "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcde"

INSTANTIATE_TEST_SUITE_P(
    Descriptions, PackageDescriptionTest,
    testing::Values(
        DescriptionCase{"not_published", nullptr, 3}, DescriptionCase{"array", "[]", 1},
        DescriptionCase{"empty_object", "{}", 1}, DescriptionCase{"not_json", "sha256: " DIGEST, 1},
        DescriptionCase{"no_sha256", "{\"size\": 5}", 1}, DescriptionCase{"sha256_number", "{\"sha256\": 5}", 1},
        DescriptionCase{"sha256_null", "{\"sha256\": null}", 1},
        DescriptionCase{"sha256_list", "{\"sha256\": [\"" DIGEST "\"]}", 1},
        DescriptionCase{"sha256_empty", "{\"sha256\": \"\"}", 1},
        DescriptionCase{"sha256_63_digits", "{\"sha256\": \"" DIGEST63 "\"}", 1},
        DescriptionCase{"sha256_65_digits", "{\"sha256\": \"" DIGEST "0\"}", 1},
        DescriptionCase{"sha256_not_hexadecimal",
                        "{\"sha256\": \"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdeg\"}", 1},
        DescriptionCase{"size_null", "{\"sha256\": \"" DIGEST "\", \"size\": null}", 1},
        DescriptionCase{"size_text", "{\"sha256\": \"" DIGEST "\", \"size\": \"5\"}", 1},
        DescriptionCase{"size_negative", "{\"sha256\": \"" DIGEST "\", \"size\": -1}", 1},
        DescriptionCase{"size_fraction", "{\"sha256\": \"" DIGEST "\", \"size\": 1.5}", 1},
        DescriptionCase{"size_beyond_64_bits", "{\"sha256\": \"" DIGEST "\", \"size\": 18446744073709551616}", 1}),
    test::CaseName());

TEST_F(PackageDownloadTest, TheUnpackedPackageInTheSideFolderIsReusedSilently) {
    host.PublishPackage("o/n", "v1.2.3");
    test::WriteFile(temp / "base" / "play" / ".next" / "package.stamp", digest);
    EXPECT_TRUE(RunStage()) << run.error;
    EXPECT_THAT(host.http().asked, ElementsAre(ReleaseAddress("v1.2.3", kDescriptionName)));
    EXPECT_THAT(statuses, IsEmpty());
    EXPECT_EQ(run.stamp, digest);
    EXPECT_EQ(run.packagePath, Downloaded());
    EXPECT_THAT(DownloadsFolderEntries(), IsEmpty());
}

TEST_F(PackageDownloadTest, ADevelopmentLauncherReusesTheSideFolderAfterAskingForTheRelease) {
    game.version = "dev";
    host.PublishLatestRelease("o/n", "v2.0.0");
    host.PublishPackage("o/n", "v2.0.0");
    test::WriteFile(temp / "base" / "play" / ".next" / "package.stamp", digest);
    EXPECT_TRUE(RunStage()) << run.error;
    EXPECT_THAT(host.http().asked, ElementsAre(kLatest, ReleaseAddress("v2.0.0", kDescriptionName)));
    EXPECT_THAT(statuses, IsEmpty());
}

TEST_F(PackageDownloadTest, AStampThatDiffersInCaseIsAnotherPackage) {
    host.PublishPackage("o/n", "v1.2.3");
    test::WriteFile(temp / "base" / "play" / ".next" / "package.stamp", Upper(digest));
    ASSERT_TRUE(RunStage()) << run.error;
    EXPECT_THAT(host.http().asked,
                ElementsAre(ReleaseAddress("v1.2.3", kDescriptionName), ReleaseAddress("v1.2.3", kPackageFixtureName)));
    EXPECT_EQ(test::ReadFile(Downloaded()), package);
}

struct UnknownSizeCase {
    const char* name;
    const char* sizeMember;  // appended to the description after the digest
};

class PackageUnknownSizeTest : public PackageDownloadTest, public testing::WithParamInterface<UnknownSizeCase> {};

TEST_P(PackageUnknownSizeTest, ShowsTheBytesWithoutABarAndStillVerifies) {
    host.PublishPackage("o/n", "v1.2.3");
    PublishDescription("{\"sha256\": \"" + digest + "\"" + GetParam().sizeMember + "}");
    ASSERT_TRUE(RunStage()) << run.error;
    EXPECT_EQ(test::ReadFile(Downloaded()), package);
    ExpectFirstStatusBeforeTheTransfer();
    const std::vector<Status> progress = ByteProgress();
    ASSERT_FALSE(progress.empty());
    for (const Status& status : progress) {
        EXPECT_EQ(status.title, kTitle);
        EXPECT_THAT(status.detail, testing::EndsWith(" of 0 MB"));
        EXPECT_EQ(status.fraction, -1.0);
    }
    EXPECT_EQ(progress.back().detail, FormatSize(package.size()) + " of 0 MB");
}

INSTANTIATE_TEST_SUITE_P(Sizes, PackageUnknownSizeTest,
                         testing::Values(UnknownSizeCase{"absent", ""}, UnknownSizeCase{"zero", ", \"size\": 0"}),
                         test::CaseName());

TEST_F(PackageDownloadTest, WithASizeTheBarRisesToTheEnd) {
    host.PublishPackage("o/n", "v1.2.3");
    ASSERT_TRUE(RunStage()) << run.error;
    ExpectFirstStatusBeforeTheTransfer();
    const std::vector<Status> progress = ByteProgress();
    ASSERT_FALSE(progress.empty());
    for (size_t i = 0; i < progress.size(); ++i) {
        EXPECT_EQ(progress[i].title, kTitle);
        EXPECT_GT(progress[i].fraction, 0.0);
        if (i > 0) {
            EXPECT_GE(progress[i].fraction, progress[i - 1].fraction);
        }
    }
    EXPECT_EQ(progress.back().fraction, 1.0);
    EXPECT_EQ(progress.back().detail, FormatSize(package.size()) + " of " + FormatSize(package.size()));
}

TEST_F(PackageDownloadTest, APackageAlreadyWholeInDownloadsIsNotFetchedAgain) {
    host.PublishPackage("o/n", "v1.2.3");
    test::WriteFile(Downloaded(), package);
    ASSERT_TRUE(RunStage()) << run.error;
    EXPECT_THAT(host.http().asked, ElementsAre(ReleaseAddress("v1.2.3", kDescriptionName)));
    EXPECT_EQ(test::ReadFile(Downloaded()), package);
}

TEST_F(PackageDownloadTest, AStopDuringTheTransferKeepsThePartialFile) {
    host.PublishPackage("o/n", "v1.2.3");
    onStatus = [this](const Status& status) {
        if (!status.detail.empty()) builder->cancel = true;
    };
    EXPECT_FALSE(RunStage());
    EXPECT_EQ(run.error, "cancelled");
    fs::path partial = Downloaded();
    partial += ".part";
    EXPECT_TRUE(fs::is_regular_file(partial));
    EXPECT_FALSE(fs::exists(Downloaded()));
}

}  // namespace
}  // namespace launcher
