// The test world the package build's tests stand on: the server's /site/ tree, the rewriting client
// that keeps tests off the internet, and the per-test code host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/download.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/fake_http.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::CodeHost;
using test::LoopbackUrl;
using testing::ElementsAre;

class SiteTreeTest : public testing::Test {
protected:
    bool Get(const std::string& path, std::uint64_t offset = 0) {
        body.clear();
        return http->Get(
            LoopbackUrl("http", path), offset,
            [this](const unsigned char* bytes, std::uint64_t count) {
                body.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
                return true;
            },
            nullptr, error);
    }

    CodeHost host;
    std::unique_ptr<Http> http = test::MakeTestHttp();
    std::string body;
    std::string error;
};

TEST_F(SiteTreeTest, ServesNestedFilesWithRanges) {
    test::WriteFile(host.folder() / "a" / "b" / "c.txt", "nested text");
    const std::string path = "/site/" + host.id() + "/a/b/c.txt";
    ASSERT_TRUE(Get(path)) << error;
    EXPECT_EQ(body, "nested text");
    ASSERT_TRUE(Get(path, 7)) << error;
    EXPECT_EQ(body, "text");
    EXPECT_FALSE(Get(path, 11));
    EXPECT_EQ(error, "the server answered 416 for " + LoopbackUrl("http", path));
}

TEST_F(SiteTreeTest, AnswersNothingOutsideTheSite) {
    test::WriteFile(host.folder() / "a" / "c.txt", "text");
    const std::string site = "/site/" + host.id();
    for (const std::string& path : std::vector<std::string>{
             site + "/a", site + "/a/missing.txt", site + "/a/%2e%2e/a/c.txt", "/site/%2e%2e/files/small.txt"}) {
        EXPECT_FALSE(Get(path)) << path;
        EXPECT_EQ(error, "the server answered 404 for " + LoopbackUrl("http", path));
    }
}

#ifndef _WIN32
// Under Wine no link can be made; natively a link that leads out of the site is not followed.
TEST_F(SiteTreeTest, ALinkOutOfTheSiteIsNotFollowed) {
    fs::create_directory_symlink(test::LoopbackFolder() / "files", host.folder() / "out");
    const std::string path = "/site/" + host.id() + "/out/small.txt";
    EXPECT_FALSE(Get(path));
    EXPECT_EQ(error, "the server answered 404 for " + LoopbackUrl("http", path));
}
#endif

struct LoopbackCase {
    const char* name;
    const char* url;
    bool loopback;
};

class IsLoopbackAddressTest : public testing::TestWithParam<LoopbackCase> {};

TEST_P(IsLoopbackAddressTest, Tells) { EXPECT_EQ(test::IsLoopbackAddress(GetParam().url), GetParam().loopback); }

INSTANTIATE_TEST_SUITE_P(Addresses, IsLoopbackAddressTest,
                         testing::Values(LoopbackCase{"ip_with_port", "http://127.0.0.1:8080/files/a", true},
                                         LoopbackCase{"localhost_https", "https://localhost:443/x", true},
                                         LoopbackCase{"no_port", "http://localhost/x", true},
                                         LoopbackCase{"ipv6", "http://[::1]:80/x", true},
                                         LoopbackCase{"host_alone", "http://127.0.0.1", true},
                                         LoopbackCase{"other_host", "https://github.com/o/n", false},
                                         LoopbackCase{"longer_name", "http://localhost.example.com/x", false},
                                         LoopbackCase{"user_info", "http://127.0.0.1:80@example.com/x", false},
                                         LoopbackCase{"bad_port", "http://127.0.0.1:80x/x", false},
                                         LoopbackCase{"other_scheme", "ftp://127.0.0.1/x", false}),
                         test::CaseName());

class RewritingHttpTest : public testing::Test {
protected:
    bool Get(const std::string& url, std::uint64_t offset = 0) {
        return http.Get(
            url, offset, [](const unsigned char*, std::uint64_t) { return true; }, nullptr, error);
    }

    test::FakeHttp* inner = new test::FakeHttp;
    test::RewritingHttp http{std::unique_ptr<Http>(inner)};
    std::string error;
};

TEST_F(RewritingHttpTest, TheFirstMatchingPrefixIsReplaced) {
    http.Map("https://host.example/", "http://127.0.0.1:1/first/");
    http.Map("https://host.example/deeper/", "http://127.0.0.1:1/second/");
    inner->answers["http://127.0.0.1:1/first/deeper/file"] = {{}};
    EXPECT_TRUE(Get("https://host.example/deeper/file", 5)) << error;
    EXPECT_THAT(http.asked, ElementsAre("https://host.example/deeper/file"));
    EXPECT_THAT(http.offsets, ElementsAre(5u));
    EXPECT_THAT(inner->asked, ElementsAre("http://127.0.0.1:1/first/deeper/file"));
}

TEST_F(RewritingHttpTest, AnOutsideAddressIsRefusedAndNeverForwarded) {
    http.Map("https://host.example/", "http://127.0.0.1:1/");
    EXPECT_FALSE(Get("https://other.example/file"));
    EXPECT_FALSE(Get("https://HOST.example/file"));
    EXPECT_FALSE(error.empty());
    EXPECT_THAT(http.asked, ElementsAre("https://other.example/file", "https://HOST.example/file"));
    EXPECT_TRUE(inner->asked.empty());
}

TEST_F(RewritingHttpTest, ALoopbackAddressPassesUnchanged) {
    inner->answers["http://127.0.0.1:1/files/a"] = {{}};
    EXPECT_TRUE(Get("http://127.0.0.1:1/files/a")) << error;
    EXPECT_THAT(inner->asked, ElementsAre("http://127.0.0.1:1/files/a"));
}

TEST(CodeHostTest, PublishesUnderItsOwnFolderAndRemovesIt) {
    fs::path folder;
    {
        CodeHost host;
        folder = host.folder();
        EXPECT_EQ(folder.parent_path(), test::LoopbackFolder() / "site");
        EXPECT_THAT(host.id(), testing::StartsWith("CodeHostTest.PublishesUnderItsOwnFolderAndRemovesIt-"));
        host.PublishLatestRelease("o/n", "v3.1");
        host.PublishReleaseFile("o/n", "v3.1", "notes.txt", "release notes");
        std::string body;
        std::string error;
        ASSERT_TRUE(FetchText(host.http(), "https://api.github.com/repos/o/n/releases/latest", body, error)) << error;
        EXPECT_EQ(body, "{\"tag_name\":\"v3.1\"}");
        ASSERT_TRUE(FetchText(host.http(), "https://github.com/o/n/releases/download/v3.1/notes.txt", body, error))
            << error;
        EXPECT_EQ(body, "release notes");
    }
    EXPECT_FALSE(fs::exists(folder));
}

}  // namespace
}  // namespace launcher
