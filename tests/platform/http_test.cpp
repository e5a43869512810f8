// Http::Get against the loopback server: libcurl natively, WinHTTP under Wine.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/download.h"
#include "platform/platform.h"
#include "tests/support/case_name.h"
#include "tests/support/loopback.h"

namespace launcher {
namespace {

using test::LoopbackUrl;
using test::ServedFile;
using testing::StartsWith;

class HttpTest : public testing::Test {
protected:
    // One Get into `received`; false with `error` as Get left it.
    bool Get(const std::string& url, std::uint64_t offset = 0, int stopAfterPieces = -1) {
        received.clear();
        pieces = 0;
        total = 12345;
        return http->Get(
            url, offset,
            [this, stopAfterPieces](const unsigned char* bytes, std::uint64_t count) {
                received.append(reinterpret_cast<const char*>(bytes), count);
                return ++pieces != stopAfterPieces;
            },
            &total, error);
    }

    std::unique_ptr<Http> http = test::MakeTestHttp();
    const std::string data = ServedFile("data.bin");
    std::string received;
    std::string error = "before";
    std::uint64_t total = 0;
    int pieces = 0;
};

TEST_F(HttpTest, AWholeFile) {
    ASSERT_TRUE(Get(LoopbackUrl("http", "/files/data.bin"))) << error;
    EXPECT_EQ(received, data);
    EXPECT_EQ(total, data.size());
    EXPECT_EQ(error, "before");
}

TEST_F(HttpTest, FromAnOffsetTheTotalIsTheWholeSize) {
    ASSERT_TRUE(Get(LoopbackUrl("http", "/files/data.bin"), 400)) << error;
    EXPECT_EQ(received, data.substr(400));
    EXPECT_EQ(total, data.size());
}

TEST_F(HttpTest, AServerThatIgnoresTheRangeHasTheBytesBeforeTheOffsetDropped) {
    // Past several 64 KiB pieces, so the dropping spans reads.
    ASSERT_TRUE(Get(LoopbackUrl("http", "/norange/data.bin"), 200000)) << error;
    EXPECT_EQ(received, data.substr(200000));
    EXPECT_EQ(total, data.size());
}

TEST_F(HttpTest, AnAnswerWithoutLengthHasNoTotal) {
    ASSERT_TRUE(Get(LoopbackUrl("http", "/nolength/data.bin"), 1000)) << error;
    EXPECT_EQ(received, data.substr(1000));
    EXPECT_EQ(total, 0u);
}

TEST_F(HttpTest, AnEmptyFile) {
    ASSERT_TRUE(Get(LoopbackUrl("http", "/files/empty.bin"))) << error;
    EXPECT_EQ(received, "");
    EXPECT_EQ(total, 0u);
}

TEST_F(HttpTest, ARedirectIsFollowedWithItsRange) {
    ASSERT_TRUE(Get(LoopbackUrl("http", "/redirect/data.bin"), 999000)) << error;
    EXPECT_EQ(received, data.substr(999000));
    EXPECT_EQ(total, data.size());
}

TEST_F(HttpTest, HttpsWithATrustedCertificate) {
    ASSERT_TRUE(Get(LoopbackUrl("https", "/files/data.bin"), 999000)) << error;
    EXPECT_EQ(received, data.substr(999000));
}

struct RefusedCase {
    const char* name;
    const char* server;
    const char* path;
};

class HttpRefusedTest : public HttpTest, public testing::WithParamInterface<RefusedCase> {};

TEST_P(HttpRefusedTest, FailsAsARequest) {
    EXPECT_FALSE(Get(LoopbackUrl(GetParam().server, GetParam().path)));
    EXPECT_THAT(error, StartsWith("the request failed ("));
    EXPECT_EQ(received, "");
}

INSTANTIATE_TEST_SUITE_P(Requests, HttpRefusedTest,
                         testing::Values(RefusedCase{"untrusted_certificate", "untrusted", "/files/small.txt"},
                                         RefusedCase{"redirect_loop", "http", "/redirect-loop"},
                                         RefusedCase{"redirect_from_https_to_http", "https",
                                                     "/redirect-to-http/small.txt"}),
                         test::CaseName());

struct StatusCase {
    const char* name;
    const char* path;
    std::uint64_t offset;
    int status;
};

class HttpStatusTest : public HttpTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(HttpStatusTest, IsRefusedWithItsNumber) {
    const std::string url = LoopbackUrl("http", GetParam().path);
    EXPECT_FALSE(Get(url, GetParam().offset));
    EXPECT_EQ(error, "the server answered " + std::to_string(GetParam().status) + " for " + url);
    EXPECT_EQ(pieces, 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, HttpStatusTest,
                         testing::Values(StatusCase{"not_found", "/status/404", 0, 404},
                                         StatusCase{"server_error", "/status/500", 0, 500},
                                         StatusCase{"unavailable", "/status/503", 0, 503},
                                         StatusCase{"past_the_end", "/files/data.bin", 1000000, 416},
                                         StatusCase{"missing_file", "/files/nothing.bin", 0, 404}),
                         test::CaseName());

TEST_F(HttpTest, ASinkThatStopsEndsTheTransfer) {
    EXPECT_FALSE(Get(LoopbackUrl("http", "/files/data.bin"), 0, 1));
    EXPECT_EQ(error, "stopped");
    EXPECT_EQ(pieces, 1);
}

struct SinkFailure {};

// A sink that throws (a full disk under a stream that throws, say): the exception reaches the caller,
// nothing of the request stays open, and the same client goes on working.
TEST_F(HttpTest, AnExceptionFromTheSinkReachesTheCallerAndClosesTheRequest) {
    const std::string tag = testing::UnitTest::GetInstance()->current_test_info()->name();
    int calls = 0;
    EXPECT_THROW(http->Get(
                     LoopbackUrl("http", "/endless/" + tag), 0,
                     [&calls](const unsigned char*, std::uint64_t) -> bool {
                         if (++calls == 3) throw SinkFailure{};
                         return true;
                     },
                     nullptr, error),
                 SinkFailure);
    EXPECT_EQ(calls, 3);
    // The server goes on sending for as long as the connection is open.
    std::string sending;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        ASSERT_TRUE(FetchText(*http, LoopbackUrl("http", "/sending/" + tag), sending, error)) << error;
        if (sending == "0" || std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(sending, "0") << "the request is still open";
}

TEST_F(HttpTest, AnAddressWithoutSchemeIsBad) {
    EXPECT_FALSE(Get("127.0.0.1/files/data.bin"));
    EXPECT_EQ(error, "bad address 127.0.0.1/files/data.bin");
}

TEST_F(HttpTest, NobodyListening) {
    EXPECT_FALSE(Get(test::DeadUrl("/files/data.bin")));
    EXPECT_THAT(error, StartsWith("the request failed ("));
}

}  // namespace
}  // namespace launcher
