#include "platform/release.h"

#include <gtest/gtest.h>

#include "tests/support/case_name.h"
#include "tests/support/deep_json.h"
#include "tests/support/fake_http.h"

namespace launcher {
namespace {

struct VersionCase {
    const char* name;
    const char* text;
    std::vector<std::uint32_t> numbers;
};

class ParseVersionTest : public testing::TestWithParam<VersionCase> {};

TEST_P(ParseVersionTest, Parses) {
    EXPECT_EQ(ParseVersion(GetParam().text), GetParam().numbers);
    EXPECT_EQ(IsVersion(GetParam().text), !GetParam().numbers.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseVersionTest,
    testing::Values(VersionCase{"one_number", "V1", {1}}, VersionCase{"three_numbers", "V1.2.3", {1, 2, 3}},
                    VersionCase{"lower_case", "v1.2.3", {1, 2, 3}}, VersionCase{"leading_zero", "V01.2", {1, 2}},
                    VersionCase{"wraps_at_32_bits", "V4294967296.7", {0, 7}}, VersionCase{"lone_v", "V", {}},
                    VersionCase{"no_v", "1.2", {}}, VersionCase{"final_full_stop", "V1.", {}},
                    VersionCase{"two_full_stops", "V1..2", {}}, VersionCase{"letter_at_the_end", "V1.2a", {}},
                    VersionCase{"letter_after_v", "Vx1", {}}, VersionCase{"full_stop_after_v", "V.1", {}},
                    VersionCase{"dev", "dev", {}}, VersionCase{"empty", "", {}}, VersionCase{"blank", "V1 ", {}}),
    test::CaseName());

struct CompareCase {
    const char* name;
    const char* a;
    const char* b;
    int result;
};

class CompareVersionsTest : public testing::TestWithParam<CompareCase> {};

TEST_P(CompareVersionsTest, Compares) {
    EXPECT_EQ(CompareVersions(GetParam().a, GetParam().b), GetParam().result);
    EXPECT_EQ(CompareVersions(GetParam().b, GetParam().a), -GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Pairs, CompareVersionsTest,
                         testing::Values(CompareCase{"missing_zero", "V1.2", "V1.2.0", 0},
                                         CompareCase{"major", "V2", "V1.99", 1},
                                         CompareCase{"numbers_not_text", "V1.10", "V1.9", 1},
                                         CompareCase{"case_of_v", "v1.3", "V1.3", 0},
                                         CompareCase{"longer_is_newer", "V1.2.1", "V1.2", 1},
                                         CompareCase{"dev_below_a_version", "dev", "V1", -1},
                                         CompareCase{"two_non_versions", "dev", "main", 0}),
                         test::CaseName());

struct ApiCase {
    const char* name;
    const char* repository;
    const char* address;
};

class LatestReleaseApiUrlTest : public testing::TestWithParam<ApiCase> {};

TEST_P(LatestReleaseApiUrlTest, Maps) { EXPECT_EQ(LatestReleaseApiUrl(GetParam().repository), GetParam().address); }

constexpr const char* kApi = "https://api.github.com/repos/owner/tarnwick/releases/latest";

INSTANTIATE_TEST_SUITE_P(Addresses, LatestReleaseApiUrlTest,
                         testing::Values(ApiCase{"plain", "https://github.com/owner/tarnwick", kApi},
                                         ApiCase{"dot_git", "https://github.com/owner/tarnwick.git", kApi},
                                         ApiCase{"slash", "https://github.com/owner/tarnwick/", kApi},
                                         ApiCase{"slashes", "https://github.com/owner/tarnwick///", kApi},
                                         ApiCase{"dot_git_then_slash_keeps_it",
                                                 "https://github.com/owner/tarnwick.git/",
                                                 "https://api.github.com/repos/owner/tarnwick.git/releases/latest"},
                                         ApiCase{"owner_alone", "https://github.com/owner", ""},
                                         ApiCase{"owner_and_slash", "https://github.com/owner/", ""},
                                         ApiCase{"prefix_alone", "https://github.com/", ""},
                                         ApiCase{"short", "https://git", ""},
                                         ApiCase{"other_host", "https://gitlab.com/owner/tarnwick.git", ""},
                                         ApiCase{"case_matters", "https://GitHub.com/owner/tarnwick", ""},
                                         ApiCase{"only_dot_git", "https://github.com/.git", ""}),
                         test::CaseName());

class LatestReleaseTest : public testing::Test {
protected:
    void Answer(const std::string& body) { http.answers[kApi] = {{true, body, ""}}; }

    bool Lookup() { return LatestRelease(http, repository, "Velmora2", release, error); }

    std::string repository = "https://github.com/owner/tarnwick.git";
    test::FakeHttp http;
    Release release;
    std::string error = "before";
};

TEST_F(LatestReleaseTest, FillsTheReleaseAndTheLauncherAsset) {
    Answer(R"({"tag_name": "V1.4.0", "name": "Spring", "body": "Notes", "html_url": "https://github.com/x",
               "assets": [{"name": "Velmora2-package.zip", "browser_download_url": "https://p", "size": 5},
                          {"name": "Velmora2Launcher.exe", "browser_download_url": "https://l", "size": 1234,
                           "digest": "sha256:abc"}]})");
    ASSERT_TRUE(Lookup()) << error;
    EXPECT_EQ(release.tag, "V1.4.0");
    EXPECT_EQ(release.name, "Spring");
    EXPECT_EQ(release.notes, "Notes");
    EXPECT_EQ(release.page, "https://github.com/x");
    EXPECT_EQ(release.url, "https://l");
    EXPECT_EQ(release.size, 1234u);
    EXPECT_EQ(release.sha256, "abc");
    EXPECT_EQ(error, "before");
    EXPECT_EQ(http.asked, std::vector<std::string>{kApi});
}

TEST_F(LatestReleaseTest, TheLastAssetOfTheNameWins) {
    Answer(R"({"tag_name": "V2", "assets": [
        {"name": "Velmora2Launcher.exe", "browser_download_url": "https://first", "size": 1, "digest": "sha256:one"},
        {"name": "Velmora2Launcher.exe", "browser_download_url": "https://second", "size": 2, "digest": "md5:x"}]})");
    ASSERT_TRUE(Lookup());
    EXPECT_EQ(release.url, "https://second");
    EXPECT_EQ(release.size, 2u);
    EXPECT_EQ(release.sha256, "one");
}

TEST_F(LatestReleaseTest, OddAssetFieldsGiveNothing) {
    Answer(R"({"tag_name": "V2", "assets": [7, {"name": "Velmora2Launcher.exe", "browser_download_url": 3,
        "size": "12", "digest": "sha512:abc"}, {"name": "velmora2launcher.exe", "size": 9}]})");
    ASSERT_TRUE(Lookup());
    EXPECT_EQ(release.url, "");
    EXPECT_EQ(release.size, 0u);
    EXPECT_EQ(release.sha256, "");
}

TEST_F(LatestReleaseTest, NegativeOrFractionalSizesGiveZero) {
    for (const char* size : {"-5", "12.5"}) {
        Answer(std::string(R"({"tag_name": "V2", "assets": [{"name": "Velmora2Launcher.exe", "size": )") + size +
               "}]}");
        ASSERT_TRUE(Lookup());
        EXPECT_EQ(release.size, 0u) << size;
    }
}

TEST_F(LatestReleaseTest, AnAnswerWithoutAssetsHasItsTexts) {
    Answer(R"({"tag_name": "V2", "name": "Two"})");
    ASSERT_TRUE(Lookup());
    EXPECT_EQ(release.name, "Two");
    EXPECT_EQ(release.url, "");
}

struct BadAnswerCase {
    const char* name;
    std::string body;
    bool touched;  // the record was reset before the lookup failed
};

class LatestReleaseBadAnswerTest : public LatestReleaseTest, public testing::WithParamInterface<BadAnswerCase> {};

TEST_P(LatestReleaseBadAnswerTest, SaysThereIsNoRelease) {
    release.tag = "old";
    Answer(GetParam().body);
    EXPECT_FALSE(Lookup());
    EXPECT_EQ(error, "no published release");
    EXPECT_EQ(release.tag, GetParam().touched ? "" : "old");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, LatestReleaseBadAnswerTest,
    testing::Values(BadAnswerCase{"not_json", "<html>", false}, BadAnswerCase{"array", "[]", false},
                    BadAnswerCase{"no_tag", R"({"name": "x"})", false},
                    BadAnswerCase{"nested_too_deep",
                                  R"({"tag_name": "V9", "assets": )" + test::NestedArrays(100000) + "}", false},
                    BadAnswerCase{"empty_tag", R"({"tag_name": ""})", true},
                    BadAnswerCase{"tag_not_text", R"({"tag_name": 3})", true}),
    test::CaseName());

TEST_F(LatestReleaseTest, ARepositoryElsewhereIsNotLookedUp) {
    repository = "https://example.org/owner/tarnwick.git";
    EXPECT_FALSE(Lookup());
    EXPECT_EQ(error, "the game's repository is not on GitHub");
    EXPECT_TRUE(http.asked.empty());
}

TEST_F(LatestReleaseTest, AFailedFetchGivesItsMessage) {
    http.answers[kApi] = {{false, "", "the server answered 500 for x"}};
    EXPECT_FALSE(Lookup());
    EXPECT_EQ(error, "the server answered 500 for x");
    EXPECT_EQ(http.asked.size(), 3u);  // FetchText's three attempts
}

}  // namespace
}  // namespace launcher
