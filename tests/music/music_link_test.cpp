// Music folders with links that the host made (tests/support/make_link_fixture.cmake), so that under
// Wine they are Linux symbolic links, which Windows programs see as folders: links that lead round,
// a scan that is stopped, and folders that lead into the game's own music folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "builder/builder.h"
#include "game/game.h"
#include "music/music_scan.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

fs::path Fixture(const char* tree) { return test::PathFromEnvironment("LAUNCHER_LINK_FIXTURE") / "music" / tree; }

// Each soundtrack as its name and its songs relative to the root, '/'-separated.
std::vector<std::string> Describe(const std::vector<Soundtrack>& soundtracks, const fs::path& root) {
    std::vector<std::string> lines;
    for (const Soundtrack& soundtrack : soundtracks) {
        std::string line = soundtrack.name + ":";
        for (const Song& song : soundtrack.songs) {
            std::string relative = PathToUtf8(song.path.lexically_relative(root));
            std::replace(relative.begin(), relative.end(), '\\', '/');
            line += " " + relative;
        }
        lines.push_back(line);
    }
    return lines;
}

// A hang guard: a scan that went round would take far longer.
template <typename Run>
auto Quickly(Run run) {
    const auto start = std::chrono::steady_clock::now();
    auto result = run();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    return result;
}

TEST(MusicLinkTest, TwoLinksToTheFolderItselfListItsSongOnce) {
    const fs::path root = Fixture("self") / "Music";
    std::vector<std::string> notes;
    const auto soundtracks = Quickly([&] { return ScanMusicFolder(root, notes); });
    EXPECT_THAT(Describe(soundtracks, root), ElementsAre("Music: song.mp3"));
    EXPECT_THAT(notes, IsEmpty());
}

TEST(MusicLinkTest, ALinkToAnAncestorIsNotEntered) {
    const fs::path root = Fixture("ancestor") / "Music";
    std::vector<std::string> notes;
    const auto soundtracks = Quickly([&] { return ScanMusicFolder(root, notes); });
    EXPECT_THAT(Describe(soundtracks, root), ElementsAre("Music: song.mp3", "Album: Album/track.mp3"));
}

// Two links a level, 24 levels: about 2^25 folders to list, far more than a stop leaves time for.
TEST(MusicLinkTest, AStopEndsALongScan) {
    const fs::path root = Fixture("long") / "Music";
    std::atomic<bool> cancel{false};
    std::thread stopper([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    std::vector<std::string> notes;
    const auto soundtracks = Quickly([&] { return ScanMusicFolder(root, notes, &cancel); });
    stopper.join();
    EXPECT_THAT(soundtracks, IsEmpty());

    std::vector<fs::path> songs;
    cancel = true;
    CollectSongs(root, songs, &cancel);
    EXPECT_THAT(songs, IsEmpty());
}

// The user's album in the game's music folder, which every import empties, reached through a link.
class MusicLinkImportTest : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(MusicLinkImportTest, AFolderLeadingIntoTheGamesMusicIsRefused) {
    const fs::path fixture = Fixture("game");
    Game game;
    std::string gameError;
    ASSERT_TRUE(ReadGame(BuiltinGameText(), game, gameError)) << gameError;
    std::unique_ptr<Platform> platform = MakePlatform();
    Builder builder(game, fixture / "base", nullptr, platform.get());
    const fs::path music = builder.MusicFolder();
    std::string result = "untouched";
    std::string error;
    EXPECT_FALSE(builder.ImportMusic(fixture / GetParam().first, result, error));
    EXPECT_EQ(error, "The music folder " + std::string(GetParam().second) +
                         " the game's music folder, which each import empties: " + PathToUtf8(music) +
                         ". Choose a folder outside it.");
    EXPECT_EQ(result, "untouched");
    EXPECT_EQ(test::ReadFile(music / "Album" / "mine.mp3"), "mine");
    EXPECT_FALSE(fs::exists(music / ".staging"));
}

INSTANTIATE_TEST_SUITE_P(MusicLinkTest, MusicLinkImportTest,
                         testing::Values(std::make_pair("to", "is"), std::make_pair("into", "lies inside")),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace launcher
