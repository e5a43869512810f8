// FetchText and Download end to end against the loopback server.
#include "platform/download.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>

#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/digests.h"
#include "tests/support/fake_http.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::LoopbackUrl;
using test::ReadFile;
using test::Sha256Of;
using test::WriteFile;
using testing::StartsWith;

// Each test gets paths of its own on the server, so that request counts are its own.
std::string Unique(const std::string& path) {
    return path + "/" + testing::UnitTest::GetInstance()->current_test_info()->name();
}

class DownloadTest : public testing::Test {
protected:
    bool Fetch(const std::string& url, const std::string& sha256, std::uint64_t size) {
        return Download(
            *http, url, destination, sha256, size,
            [this](std::uint64_t done, std::uint64_t total) { progress.emplace_back(done, total); }, &cancel, error);
    }

    fs::path Partial() const {
        fs::path partial = destination;
        return partial += ".part";
    }

    std::unique_ptr<Http> http = test::MakeTestHttp();
    const std::string data = test::ServedFile("data.bin");
    const std::string digest = Sha256Of(data);
    test::TempFolder temp;
    fs::path destination = temp / "downloads" / "data.bin";
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress;
    std::atomic<bool> cancel{false};
    std::string error = "before";
};

TEST_F(DownloadTest, AFileArrivesWholeAndChecked) {
    ASSERT_TRUE(Fetch(LoopbackUrl("http", "/files/data.bin"), digest, 0)) << error;
    EXPECT_EQ(ReadFile(destination), data);
    EXPECT_FALSE(fs::exists(Partial()));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, data.size());
    EXPECT_EQ(progress.back().second, data.size());
    for (size_t i = 1; i < progress.size(); ++i) EXPECT_GT(progress[i].first, progress[i - 1].first);
}

TEST_F(DownloadTest, ADroppedTransferResumesWhereItStopped) {
    // The first three requests end after 300,000 bytes of their body.
    const std::string url = LoopbackUrl("http", "/drop/300000/3/data.bin?" + Unique("x"));
    ASSERT_TRUE(Fetch(url, digest, data.size())) << error;
    EXPECT_EQ(ReadFile(destination), data);
    // Progress counts on from what the earlier passes left.
    EXPECT_EQ(progress.back().first, data.size());
    EXPECT_TRUE(std::all_of(progress.begin(), progress.end(), [&](auto p) { return p.second == data.size(); }));
}

TEST_F(DownloadTest, ATransferEndedEarlyWithKnownSizeAndNoDigestIsNotTakenAsWhole) {
    const std::string url = LoopbackUrl("http", "/drop/500000/1/data.bin?" + Unique("size-only"));
    ASSERT_TRUE(Fetch(url, "", data.size())) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

TEST_F(DownloadTest, AWrongContentRangeEndsWithTheRightFile) {
    WriteFile(Partial(), data.substr(0, 1000));
    ASSERT_TRUE(Fetch(LoopbackUrl("http", "/badrange/data.bin"), digest, 0)) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

TEST_F(DownloadTest, FiveDamagedTransfersFailAndLeaveNoPartialFile) {
    const std::string wrong(64, 'a');
    EXPECT_FALSE(Fetch(LoopbackUrl("http", "/files/small.txt"), wrong, 0));
    EXPECT_EQ(error, "the download of data.bin is damaged (checksum), given up after 5 tries");
    EXPECT_FALSE(fs::exists(Partial()));
    EXPECT_FALSE(fs::exists(destination));
}

TEST_F(DownloadTest, AnUpperCaseDigestMatches) {
    std::string upper = digest;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_TRUE(Fetch(LoopbackUrl("http", "/files/data.bin"), upper, 0)) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

TEST_F(DownloadTest, CancelMidFileKeepsWhatArrived) {
    bool ok = Download(
        *http, LoopbackUrl("http", "/files/data.bin"), destination, digest, 0,
        [this](std::uint64_t done, std::uint64_t) {
            if (done >= 100000) cancel = true;
        },
        &cancel, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "cancelled");
    EXPECT_FALSE(fs::exists(destination));
    const std::string kept = ReadFile(Partial());
    EXPECT_GE(kept.size(), 100000u);
    EXPECT_EQ(kept, data.substr(0, kept.size()));
}

TEST_F(DownloadTest, APresentFileWithTheRightDigestAsksNothing) {
    WriteFile(destination, data);
    EXPECT_TRUE(Fetch(test::DeadUrl("/data.bin"), digest, 0)) << error;
    EXPECT_EQ(error, "before");
}

TEST_F(DownloadTest, APresentFileWithAWrongDigestIsReplaced) {
    WriteFile(destination, "old");
    ASSERT_TRUE(Fetch(LoopbackUrl("http", "/files/data.bin"), digest, 0)) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

TEST_F(DownloadTest, APresentFileWithoutDigestOrSizeIsTaken) {
    WriteFile(destination, "anything");
    EXPECT_TRUE(Fetch(test::DeadUrl("/data.bin"), "", 0));
    WriteFile(destination, "eight b!");
    EXPECT_TRUE(Fetch(test::DeadUrl("/data.bin"), "", 8));
}

TEST_F(DownloadTest, APartialFileLongerThanTheSizeStartsOver) {
    WriteFile(Partial(), data + "extra");
    ASSERT_TRUE(Fetch(LoopbackUrl("http", "/files/data.bin"), "", data.size())) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

TEST_F(DownloadTest, AWholePartialFileOfKnownSizeIsCheckedWithoutARequest) {
    WriteFile(Partial(), data);
    EXPECT_TRUE(Fetch(test::DeadUrl("/data.bin"), digest, data.size())) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

TEST_F(DownloadTest, AWholePartialFileThatIsWrongIsFetchedAgain) {
    std::string damaged = data;
    damaged[500] ^= 1;
    WriteFile(Partial(), damaged);
    ASSERT_TRUE(Fetch(LoopbackUrl("http", "/files/data.bin"), digest, data.size())) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

// A stop after the last piece leaves a whole partial file; a package has a digest and no size.
TEST_F(DownloadTest, AWholePartialFileWithADigestAndNoSizeIsTakenWithoutARequest) {
    WriteFile(Partial(), data);
    EXPECT_TRUE(Fetch(test::DeadUrl("/data.bin"), digest, 0)) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

TEST_F(DownloadTest, AServerThatFailsThreeTimesIsAskedAgain) {
    const std::string url = LoopbackUrl("http", "/flaky/503/3/data.bin?" + Unique("x"));
    ASSERT_TRUE(Fetch(url, digest, 0)) << error;
    EXPECT_EQ(ReadFile(destination), data);
}

TEST_F(DownloadTest, FivePassesOfFailureGiveTheLastMessage) {
    const std::string url = LoopbackUrl("http", "/status/503");
    EXPECT_FALSE(Fetch(url, digest, 0));
    EXPECT_EQ(error, "the server answered 503 for " + url);
}

TEST_F(DownloadTest, APartialFileThatCannotBeWrittenSaysSo) {
    WriteFile(temp / "file", "not a folder");
    destination = temp / "file" / "data.bin";
    EXPECT_FALSE(Fetch(LoopbackUrl("http", "/files/data.bin"), digest, 0));
    EXPECT_EQ(error, "cannot write " + PathToUtf8(Partial()));
}

TEST_F(DownloadTest, ADestinationThatCannotBeReplacedSaysSo) {
    WriteFile(destination / "inside.txt", "a folder in the way");
    EXPECT_FALSE(Fetch(LoopbackUrl("http", "/files/data.bin"), digest, 0));
    EXPECT_THAT(error, StartsWith("cannot rename " + PathToUtf8(Partial()) + ": "));
    EXPECT_GT(error.size(), ("cannot rename " + PathToUtf8(Partial()) + ": ").size());
}

// Clients that report a transfer the server cut short as finished (WinHTTP under Wine does).
class CutShortTest : public testing::Test {
protected:
    test::FakeHttp http;
    test::TempFolder temp;
    const std::string content = std::string(1000, 'c') + std::string(1000, 'd');
    std::string error;
};

TEST_F(CutShortTest, AShortTransferOfKnownSizeIsResumed) {
    http.answers["u"] = {{true, content.substr(0, 700), "", 2000}, {true, content, "", 0}};
    ASSERT_TRUE(Download(http, "u", temp / "f.bin", "", content.size(), {}, nullptr, error)) << error;
    EXPECT_EQ(ReadFile(temp / "f.bin"), content);
    EXPECT_EQ(http.offsets, (std::vector<std::uint64_t>{0, 700}));
}

TEST_F(CutShortTest, ALongerTransferIsRemovedAndFetchedAgain) {
    http.answers["u"] = {{true, content + "extra", "", 0}, {true, content, "", 0}};
    ASSERT_TRUE(Download(http, "u", temp / "f.bin", "", content.size(), {}, nullptr, error)) << error;
    EXPECT_EQ(ReadFile(temp / "f.bin"), content);
    EXPECT_EQ(http.offsets, (std::vector<std::uint64_t>{0, 0}));
}

// The last pass's finding ends the message; the download's own findings say that it gave up.
TEST_F(CutShortTest, TheLastPassGivesTheMessage) {
    const struct {
        const char* name;
        std::vector<test::FakeHttp::Answer> answers;
        std::string error;
    } cases[] = {
        {"too long", {{true, content + "extra", "", 0}},
         "the download of f.bin is larger than expected, given up after 5 tries"},
        {"always short", {{true, content.substr(0, 700), "", 2000}},
         "the download of f.bin ended early, given up after 5 tries"},
        {"short, then the transfer fails", {{true, content.substr(0, 700), "", 2000}, {false, "", "the line broke", 0}},
         "the line broke"},
    };
    for (const auto& c : cases) {
        test::TempFolder folder;
        test::FakeHttp server;
        server.answers["u"] = c.answers;
        EXPECT_FALSE(Download(server, "u", folder.path() / "f.bin", "", content.size(), {}, nullptr, error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(server.asked.size(), 5u) << c.name;
    }
}

TEST_F(CutShortTest, AFetchedTextCutShortIsAskedForAgain) {
    http.answers["u"] = {{true, "{\"tag_na", "", 40}, {true, "{\"tag_name\": \"V1\"}", "", 0}};
    std::string body;
    ASSERT_TRUE(FetchText(http, "u", body, error)) << error;
    EXPECT_EQ(body, "{\"tag_name\": \"V1\"}");
    http.answers["v"] = {{true, "{\"tag_na", "", 40}};
    EXPECT_FALSE(FetchText(http, "v", body, error));
    EXPECT_EQ(error, "the answer from v ended early");
}

TEST_F(CutShortTest, AWholeButWrongPartialFileThatTheServerCannotContinueStartsOver) {
    // A digest and no size: the partial file is as long as the file but damaged, so asking for more
    // gets 416; it is removed and the next pass starts from the beginning.
    test::WriteFile(temp / "f.bin.part", std::string(2000, 'x'));
    http.answers["u"] = {{false, "", "the server answered 416 for u"}, {true, content, "", 0}};
    ASSERT_TRUE(Download(http, "u", temp / "f.bin", test::Sha256Of(content), 0, {}, nullptr, error)) << error;
    EXPECT_EQ(ReadFile(temp / "f.bin"), content);
    EXPECT_EQ(http.offsets, (std::vector<std::uint64_t>{2000, 0}));
}

TEST(FetchTextTest, ReadsAText) {
    std::string body = "old", error = "before";
    ASSERT_TRUE(FetchText(*test::MakeTestHttp(), LoopbackUrl("https", "/files/small.txt"), body, error)) << error;
    EXPECT_EQ(body, "a small text\n");
    EXPECT_EQ(error, "before");
}

TEST(FetchTextTest, TriesThreeTimes) {
    std::string body, error;
    const std::string url = LoopbackUrl("http", "/flaky/500/2/small.txt?" + Unique("x"));
    ASSERT_TRUE(FetchText(*test::MakeTestHttp(), url, body, error)) << error;
    EXPECT_EQ(body, "a small text\n");
}

TEST(FetchTextTest, ThreeFailuresGiveTheMessageAndNoBody) {
    std::string body = "old", error;
    const std::string url = LoopbackUrl("http", "/status/500");
    EXPECT_FALSE(FetchText(*test::MakeTestHttp(), url, body, error));
    EXPECT_EQ(error, "the server answered 500 for " + url);
    EXPECT_EQ(body, "");
}

struct LimitCase {
    const char* name;
    const char* path;
    std::uint64_t limit;
    bool fits;
};

class FetchTextLimitTest : public testing::TestWithParam<LimitCase> {};

TEST_P(FetchTextLimitTest, TakesNoMoreThanTheLimit) {
    std::string body = "old", error;
    const std::string url = LoopbackUrl("http", GetParam().path);
    const bool fetched = FetchText(*test::MakeTestHttp(), url, body, error, GetParam().limit);
    if (GetParam().fits) {
        ASSERT_TRUE(fetched) << error;
        EXPECT_EQ(body, test::ServedFile("data.bin"));
    } else {
        EXPECT_FALSE(fetched);
        EXPECT_EQ(error, "the answer from " + url + " is too large");
        EXPECT_EQ(body, "");
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, FetchTextLimitTest,
                         testing::Values(LimitCase{"at_the_limit", "/files/data.bin", 1000000, true},
                                         LimitCase{"a_byte_over", "/files/data.bin", 999999, false},
                                         LimitCase{"over_without_a_length", "/nolength/data.bin", 999999, false}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
