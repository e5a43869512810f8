// Music folders with links that the host made (tests/support/make_link_fixture.cmake), so that under
// Wine they are Linux symbolic links, which Windows programs see as folders: links that lead round,
// and a scan that is stopped.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "music/music_scan.h"
#include "platform/text.h"
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

}  // namespace
}  // namespace launcher
