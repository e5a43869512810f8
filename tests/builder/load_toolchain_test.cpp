// Loading the tool list with the built-in game description: the fetched list, the cached one, the
// launcher's own, in that order, over the build's real HTTP client and a per-test code host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "builder/builder.h"
#include "builder/visual_studio.h"
#include "platform/download.h"
#include "tests/builder/visual_studio_feed.h"
#include "tests/support/case_name.h"
#include "tests/support/code_host.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::Json;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr char kDigest[] = "0c4baa40f28b3f8225eb3fdf6946c987b4fe901403b4eaf2fbbd9378100aaa0c";

// Two tools, the second optional, with CR LF line ends to show the cache is written as fetched:
// 3250000 bytes (3 MB) to download at most.
std::string TwoToolList() {
    return "{\r\n  \"tools\": [\r\n"
           "    {\"id\": \"cmake\", \"url\": \"https://example.com/cmake.zip\", \"sha256\": \"" +
           std::string(kDigest) +
           "\", \"size\": 3250000},\r\n"
           "    {\"id\": \"ffmpeg\", \"optional\": true, \"url\": \"https://example.com/ffmpeg.zip\", \"sha256\": \"" +
           std::string(kDigest) + "\", \"size\": 104857600}\r\n  ]\r\n}\r\n";
}

std::vector<std::string> Ids(const Toolchain& toolchain) {
    std::vector<std::string> ids;
    for (const Tool& tool : toolchain.tools) ids.push_back(tool.id);
    return ids;
}

// A fetched text that must not be used or cached, and the error it gives.
struct RefusedCase {
    std::string name;
    std::string text;
    std::string error;
    std::vector<std::string> tools;  // what the toolchain holds afterwards
};

class LoadToolchainTest : public testing::TestWithParam<RefusedCase> {
protected:
    void SetUp() override {
        std::string gameError;
        ASSERT_TRUE(ReadGame(BuiltinGameText(), game, gameError)) << gameError;
        // Every outside address leads to a port where nothing listens.
        offline.Map("https://", test::DeadUrl("/"));
        UseHttp(host.http());
    }

    void UseHttp(test::RewritingHttp& http) {
        builder = std::make_unique<Builder>(game, temp / "base", &http, platform.get());
        builder->statusCallback = [this, &http](const Status& status) {
            statuses.push_back(status);
            requestsBeforeReport.push_back(http.asked.size());
        };
        builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
    }

    bool Load(bool visualStudio) { return builder->LoadToolchain(builder->toolchain, error, visualStudio); }

    // What the fetch of url says when it fails.
    static std::string FetchError(Http& http, const std::string& url) {
        std::string body;
        std::string fetchError;
        EXPECT_FALSE(FetchText(http, url, body, fetchError));
        return fetchError;
    }

    fs::path Cache() const { return temp / "base" / "toolchain.json"; }

    test::CodeHost host;
    test::RewritingHttp offline;
    test::TempFolder temp;
    Game game;
    std::unique_ptr<Platform> platform = MakePlatform();
    std::unique_ptr<Builder> builder;
    std::vector<Status> statuses;
    std::vector<size_t> requestsBeforeReport;
    std::vector<std::string> logged;
    std::string error = "before";
};

TEST_F(LoadToolchainTest, TheFetchedListIsUsedAndCachedByteForByte) {
    host.PublishAt(game.toolchain, TwoToolList());
    ASSERT_TRUE(Load(false)) << error;
    EXPECT_EQ(error, "before");
    EXPECT_THAT(Ids(builder->toolchain), ElementsAre("cmake", "ffmpeg"));
    EXPECT_EQ(test::ReadFile(Cache()), TwoToolList());
    EXPECT_THAT(host.http().asked, ElementsAre(game.toolchain));
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses[0].title, "Looking up the build tools");
    EXPECT_EQ(statuses[0].detail, "");
    EXPECT_EQ(statuses[0].fraction, -1.0);
    EXPECT_EQ(requestsBeforeReport[0], 0u);
    // The optional tool counts in the number, not in the size.
    EXPECT_THAT(logged, ElementsAre("tools: 2, 3 MB to download at most"));
}

TEST_F(LoadToolchainTest, AFailedFetchUsesTheCachedListOverTheLaunchersOwn) {
    test::WriteFile(Cache(), TwoToolList());
    UseHttp(offline);
    builder->builtinToolList = BuiltinToolListText();
    ASSERT_TRUE(Load(false)) << error;
    const std::string fetchError = FetchError(offline, game.toolchain);
    EXPECT_FALSE(fetchError.empty());
    EXPECT_EQ(error, fetchError);
    EXPECT_THAT(Ids(builder->toolchain), ElementsAre("cmake", "ffmpeg"));
    EXPECT_THAT(logged, ElementsAre("toolchain.json could not be fetched (" + fetchError + "), the last one is used",
                                    "tools: 2, 3 MB to download at most"));
    EXPECT_EQ(test::ReadFile(Cache()), TwoToolList());
}

TEST_F(LoadToolchainTest, WithoutACacheTheLaunchersOwnListIsUsedAndNotCached) {
    UseHttp(offline);
    builder->builtinToolList = BuiltinToolListText();
    ASSERT_TRUE(Load(false)) << error;
    const std::string fetchError = FetchError(offline, game.toolchain);
    EXPECT_EQ(error, fetchError);
    EXPECT_THAT(Ids(builder->toolchain), ElementsAre("llvm", "cmake", "ninja", "git"));
    EXPECT_TRUE(builder->toolchain.sdkVersion.empty());
    EXPECT_THAT(logged,
                ElementsAre("toolchain.json could not be fetched (" + fetchError + "), the launcher's own is used",
                            "tools: 4, 885 MB to download at most"));
    EXPECT_FALSE(fs::exists(Cache()));
}

TEST_F(LoadToolchainTest, WithNoListAtAllTheLoadFailsAndTheToolchainIsUntouched) {
    UseHttp(offline);
    builder->toolchain.tools.emplace_back().id = "kept";
    builder->toolchain.sdkVersion = "10.0.1.0";
    EXPECT_FALSE(Load(false));
    EXPECT_EQ(error, "Could not download the list of build tools: " + FetchError(offline, game.toolchain));
    EXPECT_THAT(Ids(builder->toolchain), ElementsAre("kept"));
    EXPECT_EQ(builder->toolchain.sdkVersion, "10.0.1.0");
    EXPECT_THAT(logged, IsEmpty());
    EXPECT_EQ(statuses.size(), 1u);
}

TEST_F(LoadToolchainTest, ACacheThatCannotBeWrittenDoesNotFailTheLoad) {
    fs::create_directories(Cache() / "in-the-way");
    host.PublishAt(game.toolchain, TwoToolList());
    ASSERT_TRUE(Load(false)) << error;
    EXPECT_EQ(error, "before");
    EXPECT_THAT(Ids(builder->toolchain), ElementsAre("cmake", "ffmpeg"));
    EXPECT_TRUE(fs::is_directory(Cache()));
}

TEST_F(LoadToolchainTest, OfflineTheVisualStudioToolsFailAtTheChannelAndTheToolsStay) {
    UseHttp(offline);
    builder->builtinToolList = BuiltinToolListText();
    EXPECT_FALSE(Load(true));
    EXPECT_EQ(error, "Visual Studio channel: " + FetchError(offline, kDefaultVisualStudioChannel));
    EXPECT_THAT(Ids(builder->toolchain), ElementsAre("llvm", "cmake", "ninja", "git"));
    EXPECT_TRUE(builder->toolchain.sdkVersion.empty());
    EXPECT_THAT(offline.asked, testing::Contains(kDefaultVisualStudioChannel));
    EXPECT_THAT(offline.asked, testing::Each(testing::AnyOf(game.toolchain, kDefaultVisualStudioChannel)));
    EXPECT_EQ(logged.size(), 1u);

    // The music import asks for no Visual Studio entries, and still gets its list.
    EXPECT_TRUE(Load(false)) << error;
    EXPECT_THAT(Ids(builder->toolchain), ElementsAre("llvm", "cmake", "ninja", "git"));
}

TEST_F(LoadToolchainTest, AskedForTheVisualStudioToolsTheChannelAndManifestFollowTheList) {
    Json list = Json::parse(TwoToolList());
    list["msvc"] = {{"version", "14.1"}, {"packages", Json::array({"VC.{v}.CRT"})}};
    list["sdk"] = {{"package", "Kit"}, {"version", "10.1"}, {"msis", Json::array({"kit.msi"})}};
    host.PublishAt(game.toolchain, list.dump());
    host.PublishAt(kDefaultVisualStudioChannel,
                   test::ChannelText({test::ChannelItem(test::kManifestItemId, host.OutsideUrl("vs/manifest.json"))}));
    host.PublishSiteFile(
        "vs/manifest.json",
        test::ManifestText({test::Package("VC.14.1.CRT", {test::Payload("crt.vsix", "https://example.com/crt",
                                                                         kDigest, 2097152)}),
                            test::Package("Kit", {test::Payload("kit.msi", "https://example.com/kit", kDigest, 1048576),
                                                  test::Payload("0123456789abcdef0123456789abcdef.cab",
                                                                "https://example.com/cab", kDigest, 4194304)})}));
    ASSERT_TRUE(Load(true)) << error;
    EXPECT_THAT(Ids(builder->toolchain), ElementsAre("cmake", "ffmpeg", "msvc", "winsdk"));
    EXPECT_EQ(builder->toolchain.sdkVersion, "10.1");
    EXPECT_THAT(host.http().asked,
                ElementsAre(game.toolchain, kDefaultVisualStudioChannel, host.OutsideUrl("vs/manifest.json")));
    // 3250000 + 2 MiB + 1 MiB + 4 MiB, the optional tool left out.
    EXPECT_THAT(logged, ElementsAre("tools: 4, 10 MB to download at most"));
}

// A text that was fetched but is no list fails the load: no fallback, and the last good cache stays.
TEST_P(LoadToolchainTest, AFetchedTextThatIsNoListIsNeitherUsedNorCached) {
    const std::string cached = Json{{"tools", Json::array({Json{{"id", "cached"},
                                                                 {"url", "https://example.com/c.zip"},
                                                                 {"sha256", kDigest}}})}}
                                   .dump(4);
    test::WriteFile(Cache(), cached);
    builder->builtinToolList = BuiltinToolListText();
    builder->toolchain.tools.emplace_back().id = "earlier";
    host.PublishAt(game.toolchain, GetParam().text);
    EXPECT_FALSE(Load(false));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(Ids(builder->toolchain), GetParam().tools);
    EXPECT_EQ(test::ReadFile(Cache()), cached);
    EXPECT_THAT(logged, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LoadToolchainTest,
    testing::Values(
        RefusedCase{"portal_page", "<html><body>Sign in to use this network</body></html>",
                    "toolchain.json is not readable", {}},
        RefusedCase{"cut_short", TwoToolList().substr(0, 60), "toolchain.json is not readable", {}},
        RefusedCase{"a_tool_without_a_digest",
                    Json{{"tools", Json::array({Json{{"id", "cmake"}, {"url", "https://example.com/c.zip"},
                                                     {"sha256", kDigest}},
                                                Json{{"id", "ninja"}, {"url", "https://example.com/n.zip"}}})}}
                        .dump(),
                    "toolchain.json: tool ninja needs an id, a url and a sha256", {"cmake"}},
        RefusedCase{"a_tool_with_an_unsafe_id",
                    Json{{"tools", Json::array({Json{{"id", ".."}, {"url", "https://example.com/c.zip"},
                                                     {"sha256", kDigest}}})}}
                        .dump(),
                    "toolchain.json: tool .. has an unsafe id or file name", {}}),
    test::CaseName());

}  // namespace
}  // namespace launcher
