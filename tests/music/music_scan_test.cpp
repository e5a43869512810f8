// The music folder as soundtracks: which files count, their order, the console's limits.
#include "music/music_scan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

struct MusicFileCase {
    const char* name;
    const char* file;
    bool music;
};

class IsMusicFileTest : public testing::TestWithParam<MusicFileCase> {};

TEST_P(IsMusicFileTest, Tells) { EXPECT_EQ(IsMusicFile(Utf8Path(GetParam().file)), GetParam().music); }

INSTANTIATE_TEST_SUITE_P(
    MusicScanTest, IsMusicFileTest,
    testing::Values(MusicFileCase{"mp3_upper", "SONG.MP3", true}, MusicFileCase{"aif_mixed", "b.Aif", true},
                    MusicFileCase{"flac", "a.flac", true}, MusicFileCase{"ogg", "a.ogg", true},
                    MusicFileCase{"opus", "a.opus", true}, MusicFileCase{"m4a", "a.m4a", true},
                    MusicFileCase{"aac", "a.aac", true}, MusicFileCase{"wav", "a.wav", true},
                    MusicFileCase{"wma", "a.wma", true}, MusicFileCase{"aiff", "a.aiff", true},
                    MusicFileCase{"last_dot_counts", "a.txt.mp3", true}, MusicFileCase{"text", "notes.txt", false},
                    MusicFileCase{"picture", "cover.jpg", false}, MusicFileCase{"video", "x.mp4", false},
                    MusicFileCase{"only_an_extension", ".mp3", false}, MusicFileCase{"no_extension", "mp3", false},
                    MusicFileCase{"extension_first", "a.mp3.txt", false}),
    test::CaseName());

struct SongView {
    std::string path;  // relative to the root, '/'-separated
    std::string name;
    std::int32_t ms;
    bool operator==(const SongView&) const = default;
};

void PrintTo(const SongView& song, std::ostream* out) { *out << song.path << " as " << song.name << ", " << song.ms; }

class MusicScanTest : public testing::Test {
protected:
    void Touch(const std::string& relative) { test::WriteFile(root / Utf8Path(relative), ""); }

    std::vector<SongView> Songs(const Soundtrack& soundtrack) const {
        std::vector<SongView> songs;
        for (const Song& song : soundtrack.songs) {
            std::string relative = PathToUtf8(song.path.lexically_relative(root));
            std::replace(relative.begin(), relative.end(), '\\', '/');
            songs.push_back({relative, song.name, song.ms});
        }
        return songs;
    }

    std::vector<std::string> Names(const std::vector<Soundtrack>& soundtracks) const {
        std::vector<std::string> names;
        for (const Soundtrack& soundtrack : soundtracks) names.push_back(soundtrack.name);
        return names;
    }

    test::TempFolder temp;
    fs::path root = temp / Utf8Path("M\xC3\xBCsik");
    std::vector<std::string> notes;
};

std::vector<std::string> SortedNames(std::vector<std::string> names) {
    std::vector<fs::path> paths;
    for (const std::string& name : names) paths.push_back(fs::path("x") / Utf8Path(name));
    std::stable_sort(paths.begin(), paths.end(), CompareByFileName);
    names.clear();
    for (const fs::path& path : paths) names.push_back(PathToUtf8(path.filename()));
    return names;
}

TEST_F(MusicScanTest, NamesSortByTheirLowerCasedBytes) {
    EXPECT_THAT(SortedNames({"b", "A", "a2"}), ElementsAre("A", "a2", "b"));
    EXPECT_THAT(SortedNames({"Track10.mp3", "track1.mp3"}), ElementsAre("track1.mp3", "Track10.mp3"));
    // Bytes above 0x7F sort after every ASCII letter; other bytes are not lower-cased.
    EXPECT_THAT(SortedNames({"\xC3\xA9t\xC3\xA9", "z", "\xC3\x89t\xC3\xA9", "_"}),
                ElementsAre("_", "z", "\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9"));
    // Equal under the rule: the listing's order stays.
    EXPECT_THAT(SortedNames({"Same", "same", "SAME"}), ElementsAre("Same", "same", "SAME"));
    EXPECT_TRUE(CompareByFileName("a/ab", "b/abc"));
    EXPECT_FALSE(CompareByFileName("a/abc", "b/ab"));
    EXPECT_FALSE(CompareByFileName("a/ab", "b/ab"));
}

TEST_F(MusicScanTest, LooseSongsComeFirstThenEachSubfolderWithAllBelowIt) {
    for (const char* file : {"Track10.mp3", "track1.mp3", "notes.txt", "cover.jpg", ".mp3", "clip.mp4", "B.FLAC",
                             "b/song.ogg", "A/x.wav", "A/deeper/x.wav", "A/deeper/even/z.aif", "A/a.opus", "a2/one.m4a",
                             "silent/readme.txt", "silent/deeper/cover.jpg"}) {
        Touch(file);
    }
    fs::create_directories(root / "empty");
    fs::create_directories(root / "folder.mp3");  // a folder, whatever its name
    Touch("folder.mp3/inner.wma");

    const std::vector<Soundtrack> soundtracks = ScanMusicFolder(root, notes);
    EXPECT_THAT(notes, IsEmpty());
    ASSERT_THAT(Names(soundtracks), ElementsAre("M\xC3\xBCsik", "A", "a2", "b", "folder.mp3"));
    EXPECT_THAT(Songs(soundtracks[0]), ElementsAre(SongView{"B.FLAC", "B", 0}, SongView{"track1.mp3", "track1", 0},
                                                   SongView{"Track10.mp3", "Track10", 0}));
    // A folder's own files first, then its subfolders depth first; one name in two folders, two songs.
    EXPECT_THAT(Songs(soundtracks[1]),
                ElementsAre(SongView{"A/a.opus", "a", 0}, SongView{"A/x.wav", "x", 0},
                            SongView{"A/deeper/x.wav", "x", 0}, SongView{"A/deeper/even/z.aif", "z", 0}));
    EXPECT_THAT(Songs(soundtracks[2]), ElementsAre(SongView{"a2/one.m4a", "one", 0}));
    EXPECT_THAT(Songs(soundtracks[3]), ElementsAre(SongView{"b/song.ogg", "song", 0}));
    EXPECT_THAT(Songs(soundtracks[4]), ElementsAre(SongView{"folder.mp3/inner.wma", "inner", 0}));
}

TEST_F(MusicScanTest, OnlySubfoldersGiveNoSoundtrackForTheRoot) {
    Touch("Rock/a.mp3");
    Touch("Jazz/b.mp3");
    Touch("readme.txt");
    const std::vector<Soundtrack> soundtracks = ScanMusicFolder(root, notes);
    EXPECT_THAT(Names(soundtracks), ElementsAre("Jazz", "Rock"));
    EXPECT_THAT(notes, IsEmpty());
}

TEST_F(MusicScanTest, AFolderThatCannotBeListedGivesNothing) {
    EXPECT_THAT(ScanMusicFolder(root / "missing", notes), IsEmpty());
    Touch("a.mp3");
    EXPECT_THAT(ScanMusicFolder(root / "a.mp3", notes), IsEmpty());
    EXPECT_THAT(notes, IsEmpty());
}

TEST_F(MusicScanTest, ARootWithATrailingSeparatorIsNamedByItsLastFolder) {
    Touch("a.mp3");
    std::vector<fs::path> roots;
    for (const char* separators : {"/", "//"}) roots.push_back(fs::path(root) += separators);
#ifdef _WIN32
    roots.push_back(fs::path(root) += "\\");
#endif
    for (const fs::path& given : roots) {
        const std::vector<Soundtrack> soundtracks = ScanMusicFolder(given, notes);
        ASSERT_EQ(soundtracks.size(), 1u) << PathToUtf8(given);
        EXPECT_EQ(soundtracks[0].name, "M\xC3\xBCsik") << PathToUtf8(given);
    }
}

TEST_F(MusicScanTest, PastOneHundredSoundtracksEachRefusedOneHasANote) {
    // 103 folders with songs and, sorting among them, folders without any.
    for (int i = 0; i < 103; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "st%03d", i);
        Touch(std::string(name) + "/song.mp3");
        fs::create_directories(root / (std::string(name) + "-empty"));
    }
    Touch("loose.mp3");
    const std::vector<Soundtrack> soundtracks = ScanMusicFolder(root, notes);
    ASSERT_EQ(soundtracks.size(), 100u);
    EXPECT_EQ(soundtracks[0].name, "M\xC3\xBCsik");
    EXPECT_EQ(soundtracks[99].name, "st098");
    EXPECT_THAT(notes, ElementsAre("\"st099\" left out: an Xbox holds 100 soundtracks",
                                   "\"st100\" left out: an Xbox holds 100 soundtracks",
                                   "\"st101\" left out: an Xbox holds 100 soundtracks",
                                   "\"st102\" left out: an Xbox holds 100 soundtracks"));
}

TEST_F(MusicScanTest, PastFiveHundredAndFourSongsTheRestIsLeftOutWithOneNote) {
    for (int i = 0; i < 600; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Big/%03d.mp3", i);
        Touch(name);
    }
    Touch("Small/a.mp3");
    const std::vector<Soundtrack> soundtracks = ScanMusicFolder(root, notes);
    ASSERT_THAT(Names(soundtracks), ElementsAre("Big", "Small"));
    ASSERT_EQ(soundtracks[0].songs.size(), 504u);
    EXPECT_EQ(soundtracks[0].songs.front().name, "000");
    EXPECT_EQ(soundtracks[0].songs.back().name, "503");
    EXPECT_THAT(notes, ElementsAre("\"Big\": songs past 504 left out"));
}

TEST_F(MusicScanTest, ExactlyTheLimitsMakeNoNote) {
    for (int i = 0; i < 504; ++i) Touch("Big/" + std::to_string(1000 + i) + ".mp3");
    const std::vector<Soundtrack> soundtracks = ScanMusicFolder(root, notes);
    ASSERT_EQ(soundtracks.size(), 1u);
    EXPECT_EQ(soundtracks[0].songs.size(), 504u);
    EXPECT_THAT(notes, IsEmpty());

    std::vector<Soundtrack> list(99);
    AddSoundtrack(list, notes, "hundredth", {root / "Big" / "1000.mp3"});
    AddSoundtrack(list, notes, "nothing", {});
    EXPECT_EQ(list.size(), 100u);
    EXPECT_THAT(notes, IsEmpty());
}

#ifndef _WIN32
// Links are followed (a Windows program under Wine cannot make one).
TEST_F(MusicScanTest, LinksToFoldersAndSongsAreFollowed) {
    test::WriteFile(temp / "elsewhere" / "far.mp3", "");
    test::WriteFile(temp / "single.flac", "");
    fs::create_directories(root);
    fs::create_directory_symlink(temp / "elsewhere", root / "Linked");
    fs::create_symlink(temp / "single.flac", root / "link.flac");
    fs::create_symlink(temp / "missing.mp3", root / "dangling.mp3");
    const std::vector<Soundtrack> soundtracks = ScanMusicFolder(root, notes);
    ASSERT_THAT(Names(soundtracks), ElementsAre("M\xC3\xBCsik", "Linked"));
    EXPECT_THAT(Songs(soundtracks[0]), ElementsAre(SongView{"link.flac", "link", 0}));
    EXPECT_THAT(Songs(soundtracks[1]), ElementsAre(SongView{"Linked/far.mp3", "far", 0}));
}
#endif

}  // namespace
}  // namespace launcher
