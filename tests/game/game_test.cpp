#include "game/game.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/case_name.h"

namespace launcher {
namespace {

using testing::ElementsAre;

constexpr const char* kSha = "0123456789abcdef0123456789abcdef01234567";

// A usable description with extra members spliced in after the required ones.
std::string Description(const std::string& extra = "") {
    return R"({"title": "Velmora", "short": "Velmora2", "repo": "https://github.com/o/tarnwick.git",
               "releases": {")" +
           std::string(kSha) + R"(": "Europe"})" + (extra.empty() ? "" : ", " + extra) + "}";
}

Game Read(const std::string& text) {
    Game game;
    std::string error;
    EXPECT_TRUE(ReadGame(text, game, error)) << error;
    return game;
}

TEST(GameTest, AConstructedGameIsEmptyButForItsVersion) {
    const Game game;
    EXPECT_EQ(game.version, "dev");
    EXPECT_EQ(game.branch, "");
    EXPECT_EQ(game.xbe, "");
    EXPECT_TRUE(game.xbes.empty());
    EXPECT_FALSE(game.music);
}

TEST(GameTest, MissingKeysTakeTheirDefaults) {
    const Game game = Read(Description());
    EXPECT_EQ(game.exe, "Velmora2");
    EXPECT_EQ(game.xbe, "default.xbe");
    EXPECT_EQ(game.branch, "main");
    EXPECT_EQ(game.toolchain, "");
    EXPECT_EQ(game.package, "");
    EXPECT_FALSE(game.music);
    EXPECT_THAT(game.xbes, ElementsAre("default.xbe"));
    EXPECT_THAT(game.exes, ElementsAre("Velmora2"));
    EXPECT_TRUE(game.packages.empty());
    EXPECT_TRUE(game.releaseXbes.empty());
}

TEST(GameTest, ReadsEveryKey) {
    const Game game =
        Read(Description(R"("exe": "V2", "xbe": "main.xbe", "branch": "dev", "toolchain": "https://t/x.json",
        "package": "P.zip", "packages": {"AB": "Pab.zip"}, "music": true, "xbes": ["main.xbe", "extra.xbe"],
        "exes": ["V2", "Tool"], "release_xbes": {"CD": ["Main.xbe"]}, "version": "9.9")"));
    EXPECT_EQ(game.title, "Velmora");
    EXPECT_EQ(game.shortName, "Velmora2");
    EXPECT_EQ(game.exe, "V2");
    EXPECT_EQ(game.xbe, "main.xbe");
    EXPECT_EQ(game.repo, "https://github.com/o/tarnwick.git");
    EXPECT_EQ(game.branch, "dev");
    EXPECT_EQ(game.toolchain, "https://t/x.json");
    EXPECT_EQ(game.package, "P.zip");
    EXPECT_EQ(game.packages, (std::map<std::string, std::string>{{"ab", "Pab.zip"}}));
    EXPECT_TRUE(game.music);
    EXPECT_THAT(game.xbes, ElementsAre("main.xbe", "extra.xbe"));
    EXPECT_THAT(game.exes, ElementsAre("V2", "Tool"));
    EXPECT_EQ(game.releaseXbes, (std::map<std::string, std::vector<std::string>>{{"cd", {"Main.xbe"}}}));
    EXPECT_EQ(game.releases, (std::map<std::string, std::string>{{kSha, "Europe"}}));
    EXPECT_EQ(game.version, "dev");
}

TEST(GameTest, EmptyListsFallBackToTheOneName) {
    const Game game = Read(Description(R"("exe": "V2", "xbe": "main.xbe", "xbes": [], "exes": [])"));
    EXPECT_THAT(game.xbes, ElementsAre("main.xbe"));
    EXPECT_THAT(game.exes, ElementsAre("V2"));
}

TEST(GameTest, KeysAreLowerCasedAndValuesKeepTheirCase) {
    const Game game = Read(R"({"title": "T", "short": "S", "repo": "r", "releases": {"ABCDEF": "Europe"},
        "packages": {"ABCDEF": "Pack-EU.zip"}, "release_xbes": {"ABCDEF": ["Default.XBE"]}})");
    EXPECT_EQ(game.releases, (std::map<std::string, std::string>{{"abcdef", "Europe"}}));
    EXPECT_EQ(game.packages, (std::map<std::string, std::string>{{"abcdef", "Pack-EU.zip"}}));
    EXPECT_EQ(game.releaseXbes, (std::map<std::string, std::vector<std::string>>{{"abcdef", {"Default.XBE"}}}));
}

// Of two keys that differ only in case, the one later in the text wins, whichever case it has.
TEST(GameTest, TheLaterOfTwoKeysThatDifferInCaseWins) {
    for (const auto& [first, second] :
         {std::pair<std::string, std::string>{"ABC", "abc"}, std::pair<std::string, std::string>{"abc", "ABC"}}) {
        const Game game = Read(R"({"title": "T", "short": "S", "repo": "r",
            "releases": {")" + first +
                               R"(": "early", ")" + second + R"(": "late"},
            "packages": {")" + first +
                               R"(": "early.zip", ")" + second + R"(": "late.zip"},
            "release_xbes": {")" +
                               first + R"(": ["early.xbe"], ")" + second + R"(": ["late.xbe"]}})");
        EXPECT_EQ(game.releases.at("abc"), "late") << first << " then " << second;
        EXPECT_EQ(game.packages.at("abc"), "late.zip") << first << " then " << second;
        EXPECT_THAT(game.releaseXbes.at("abc"), ElementsAre("late.xbe")) << first << " then " << second;
    }
}

TEST(GameTest, PackagesThatAreNoObjectAreIgnored) {
    EXPECT_TRUE(Read(Description(R"("packages": ["a.zip"])")).packages.empty());
    EXPECT_TRUE(Read(Description(R"("packages": "a.zip")")).packages.empty());
}

// A description text and the name of its case.
struct TextCase {
    const char* name;
    std::string text;
};

class UnreadableGameTest : public testing::TestWithParam<TextCase> {};

TEST_P(UnreadableGameTest, LeavesTheRecordUntouched) {
    Game game;
    game.title = "before";
    std::string error;
    EXPECT_FALSE(ReadGame(GetParam().text, game, error));
    EXPECT_EQ(error, "game.json is not readable");
    EXPECT_EQ(game.title, "before");
    EXPECT_EQ(game.branch, "");
}

INSTANTIATE_TEST_SUITE_P(Cases, UnreadableGameTest,
                         testing::Values(TextCase{"empty", ""}, TextCase{"trailing_garbage", Description() + " x"},
                                         TextCase{"comment", "// the game\n" + Description()},
                                         TextCase{"truncated", Description().substr(0, 40)}),
                         test::CaseName());

class IncompleteGameTest : public testing::TestWithParam<TextCase> {};

TEST_P(IncompleteGameTest, NamesWhatIsNeededAndKeepsWhatWasRead) {
    Game game;
    std::string error;
    EXPECT_FALSE(ReadGame(GetParam().text, game, error));
    EXPECT_EQ(error, "game.json needs a title, a short name, a repo and its releases");
    EXPECT_EQ(game.branch, "main");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IncompleteGameTest,
    testing::Values(TextCase{"no_title", R"({"short": "S", "repo": "r", "releases": {"a": "b"}})"},
                    TextCase{"empty_short", R"({"title": "T", "short": "", "repo": "r", "releases": {"a": "b"}})"},
                    TextCase{"no_repo", R"({"title": "T", "short": "S", "releases": {"a": "b"}})"},
                    TextCase{"no_releases", R"({"title": "T", "short": "S", "repo": "r"})"},
                    TextCase{"empty_releases", R"({"title": "T", "short": "S", "repo": "r", "releases": {}})"},
                    TextCase{"empty_object", "{}"}),
    test::CaseName());

TEST(GameTest, KeepsTheFieldsReadBeforeFailing) {
    Game game;
    std::string error;
    EXPECT_FALSE(ReadGame(R"({"title": "Velmora", "short": "Velmora2"})", game, error));
    EXPECT_EQ(game.title, "Velmora");
    EXPECT_EQ(game.exe, "Velmora2");
}

class WrongTypeGameTest : public testing::TestWithParam<TextCase> {};

TEST_P(WrongTypeGameTest, RaisesTheJsonTypeError) {
    Game game;
    std::string error;
    EXPECT_THROW(ReadGame(GetParam().text, game, error), nlohmann::json::type_error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrongTypeGameTest,
    testing::Values(TextCase{"number_title", Description(R"("title": 5)")},
                    TextCase{"number_in_packages", Description(R"("packages": {"ab": 1})")},
                    TextCase{"number_in_releases",
                             R"({"title": "T", "short": "S", "repo": "r", "releases": {"a": 1}})"},
                    TextCase{"list_with_a_number", Description(R"("xbes": ["a.xbe", 2])")},
                    TextCase{"string_music", Description(R"("music": "yes")")},
                    TextCase{"releases_as_text", R"({"title": "T", "short": "S", "repo": "r", "releases": "Europe"})"},
                    TextCase{"releases_as_list", R"({"title": "T", "short": "S", "repo": "r", "releases": ["a"]})"},
                    TextCase{"release_xbes_as_list", Description(R"("release_xbes": [["a.xbe"]])")},
                    TextCase{"array_root", "[1, 2]"}, TextCase{"string_root", "\"game\""}),
    test::CaseName());

TEST(BuiltinGameTest, IsUsableAndNamesTheGame) {
    const Game game = Read(BuiltinGameText());
    EXPECT_EQ(game.title, "Velmora");
    EXPECT_EQ(game.shortName, "Velmora2");
    EXPECT_EQ(game.exe, "Velmora2");
    EXPECT_EQ(game.branch, "main");
    EXPECT_EQ(game.package, "Velmora2-package.zip");
    EXPECT_THAT(game.xbes, ElementsAre("default.xbe"));
    EXPECT_THAT(game.exes, ElementsAre("Velmora2"));
    EXPECT_FALSE(game.music);
    ASSERT_EQ(game.releases.size(), 1u);
    const auto& [sha1, region] = *game.releases.begin();
    EXPECT_EQ(region, "Europe");
    EXPECT_EQ(sha1.size(), 40u);
    EXPECT_EQ(sha1.find_first_not_of("0123456789abcdef"), std::string::npos);
    const std::string prefix = "https://github.com/";
    EXPECT_EQ(game.repo.substr(0, prefix.size()), prefix);
    EXPECT_EQ(game.repo.substr(game.repo.size() - 13), "/tarnwick.git");
    EXPECT_EQ(game.toolchain.substr(0, 8), "https://");
    EXPECT_NE(game.toolchain.find("/tarnwick/main/launcher/toolchain.json"), std::string::npos) << game.toolchain;
}

TEST(BuiltinGameTest, IsLaidOutWithFourBlanksAndItsKeyOrder) {
    const auto root = nlohmann::ordered_json::parse(BuiltinGameText());
    EXPECT_EQ(root.dump(4), BuiltinGameText());
    std::vector<std::string> keys;
    for (const auto& item : root.items()) keys.push_back(item.key());
    EXPECT_THAT(keys,
                ElementsAre("title", "short", "exe", "xbe", "releases", "repo", "branch", "toolchain", "package"));
}

}  // namespace
}  // namespace launcher
