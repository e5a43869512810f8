// The music import end to end on the test library: natively with Debian's ffprobe and ffmpeg, under
// Wine with the fakes replaying what those programs did. Both compare with what the set-up step
// computed on its own (make_music_fixture.py).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "music/soundtrack_db.h"
#include "platform/text.h"
#include "tests/music/music_import_fixture.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher::test {
namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

constexpr std::int64_t kTicksPerSecond = 10'000'000;

std::string SideFile(const fs::path& song, const char* suffix) {
    fs::path side = song;
    return ReadFile(side += suffix);
}

// What ffprobe says about a converted file.
std::vector<std::string> ProbeFormat(Platform& platform, const fs::path& file) {
    std::vector<std::string> lines;
    platform.Run(
        {"ffprobe", "-v", "error", "-show_entries",
         "format=format_name:stream=codec_name,sample_rate,channels,bit_rate", "-of", "default=noprint_wrappers=1",
         PathToUtf8(file)},
        file.parent_path(), {}, [&lines](const std::string& line) { lines.push_back(line); }, nullptr);
    return lines;
}

#ifndef _WIN32
ino_t Inode(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}
#endif

TEST_F(MusicImportTest, TheLibraryBecomesTheGamesSoundtracks) {
    const nlohmann::json expected = Expected();
    const fs::path library = FixtureLibrary();
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_EQ(result, expected.at("result").get<std::string>());
    EXPECT_THAT(error, IsEmpty());

    // ST.DB byte for byte as the independent writer has it, and nothing in MUSIC but what belongs there.
    std::map<std::string, std::string> files = MusicFiles();
    EXPECT_TRUE(files["ST.DB"] == ReadFile(FixtureFolder() / "expected.db"));
    std::vector<std::string> names{"ST.DB", "launcher-music.json"};
    for (const auto& song : expected.at("songs")) names.push_back(song.at("file"));
    std::sort(names.begin(), names.end());
    std::vector<std::string> present;
    for (const auto& [name, bytes] : files) present.push_back(name);
    EXPECT_THAT(present, ElementsAreArray(names));

    const nlohmann::json cache = Cache();
    EXPECT_EQ(cache.size(), expected.at("songs").size());
    for (const auto& song : expected.at("songs")) {
        const fs::path source = Join(library, song.at("source"));
        const std::string key = PathToUtf8(source);
        const std::string file = song.at("file");
        SCOPED_TRACE(key);
        EXPECT_TRUE(files[file] == SideFile(source, ".converted"));
        ASSERT_TRUE(cache.contains(key));
        const nlohmann::json& member = cache.at(key);
        EXPECT_EQ(member.at("file"), file);
        EXPECT_EQ(member.at("name"), song.at("name"));
        EXPECT_EQ(member.at("ms"), song.at("ms"));
        EXPECT_EQ(member.at("size"), song.at("size"));
        EXPECT_NEAR(member.at("time").get<std::int64_t>(), song.at("time").get<std::int64_t>(), 2 * kTicksPerSecond);
        if (RealTools()) {
            EXPECT_THAT(ProbeFormat(*platform, Music() / Utf8Path(file)),
                        testing::IsSupersetOf({"codec_name=wmav2", "sample_rate=44100", "channels=2", "bit_rate=160000",
                                               "format_name=asf"}));
        }
    }

    std::vector<std::string> log;
    for (const auto& failed : expected.at("failed")) {
        log.push_back("music: " + PathToUtf8(Join(library, failed.at("source"))) +
                      " could not be converted: " + failed.at("last_line").get<std::string>());
    }
    log.push_back("music: " + result + ", " + std::to_string(expected.at("converted").get<int>()) +
                  " converted, 0 kept from last time, from " + PathToUtf8(library));
    EXPECT_THAT(MusicLog(), ElementsAreArray(log));

    // One report per song, counted over all soundtracks, then Ready.
    std::vector<std::string> details;
    std::vector<double> fractions;
    for (const Status& status : statuses) {
        if (status.title != "Converting your music") continue;
        details.push_back(status.detail);
        fractions.push_back(status.fraction);
    }
    const int total = expected.at("total");
    ASSERT_EQ(details.size(), static_cast<size_t>(total));
    EXPECT_EQ(details[0], "1 of " + std::to_string(total) + ": intro.wav");
    EXPECT_EQ(details[1], "2 of " + std::to_string(total) + ": noise.mp3");
    EXPECT_EQ(details.back(), std::to_string(total) + " of " + std::to_string(total) + ": \xC3\x9F.flac");
    EXPECT_EQ(fractions[0], 0.0);
    EXPECT_EQ(fractions.back(), static_cast<double>(total - 1) / total);
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back().title, "Ready");
    EXPECT_EQ(statuses.back().detail, "");
    EXPECT_EQ(statuses.back().fraction, 1.0);

    EXPECT_EQ(builder->ReadMusicFolder(), library);
    EXPECT_FALSE(fs::exists(Music() / ".staging"));
}

TEST_F(MusicImportTest, ASecondImportReusesEverySongAndAChangedOneIsConvertedAgain) {
    const nlohmann::json expected = Expected();
    const fs::path library = CopyLibrary();
    ASSERT_TRUE(Import(library)) << error;
    const std::map<std::string, std::string> first = MusicFiles();
    const nlohmann::json firstCache = Cache();
#ifndef _WIN32
    std::map<std::string, ino_t> inodes;
    for (const auto& [name, bytes] : first) {
        if (name.ends_with(".WMA")) inodes[name] = Inode(Music() / name);
    }
#endif
    // Something of the user's in MUSIC: a folder goes, a file stays.
    WriteFile(Music() / "mine" / "keep.txt", "a folder of mine");
    WriteFile(Music() / "notes.txt", "a file of mine");
    TakeRuns();
    logged.clear();

    ASSERT_TRUE(Import(library)) << error;
    EXPECT_EQ(result, expected.at("result").get<std::string>());
    const int songs = static_cast<int>(expected.at("songs").size());
    EXPECT_EQ(MusicLog().back(), "music: " + result + ", 0 converted, " + std::to_string(songs) +
                                     " kept from last time, from " + PathToUtf8(library));
    std::map<std::string, std::string> second = MusicFiles();
    EXPECT_EQ(second["notes.txt"], "a file of mine");
    second.erase("notes.txt");
    EXPECT_TRUE(second == first);
    EXPECT_FALSE(fs::exists(Music() / "mine"));
    EXPECT_EQ(Cache(), firstCache);
#ifndef _WIN32
    for (const auto& [name, inode] : inodes) EXPECT_EQ(Inode(Music() / name), inode) << name;
#endif
    if (!RealTools()) {
        // Only the songs that failed were tried again.
        std::vector<std::string> runs;
        for (const auto& failed : expected.at("failed")) {
            const std::string source = PathToUtf8(Join(library, failed.at("source")));
            runs.push_back("ffprobe " + source);
            runs.push_back("ffmpeg " + source);
        }
        EXPECT_THAT(TakeRuns(), ElementsAreArray(runs));
    }

    // A folder that sorts first moves every soundtrack down one id; each song keeps its own bytes.
    fs::create_directories(library / "0 First");
    for (const char* suffix : {"", ".probe", ".converted"}) {
        fs::copy_file(library / "Tagged" / (std::string("a.mp3") + suffix),
                      library / "0 First" / (std::string("new.mp3") + suffix));
    }
    logged.clear();
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_EQ(MusicLog().back(), "music: " + std::to_string(songs + 1) +
                                     " songs in 6 soundtracks (2 could not be "
                                     "converted: see launcher.log), 1 converted, " +
                                     std::to_string(songs) + " kept from last time, from " + PathToUtf8(library));
    const nlohmann::json moved = Cache();
    const std::map<std::string, std::string> third = MusicFiles();
    for (const auto& [key, member] : firstCache.items()) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(moved.contains(key));
        // Only the loose songs keep soundtrack 1.
        if (member["file"].get<std::string>().rfind("0001/", 0) != 0) {
            EXPECT_NE(moved[key]["file"], member["file"]);
        }
        EXPECT_TRUE(third.at(moved[key]["file"]) == first.at(member["file"]));
    }
    EXPECT_EQ(moved[PathToUtf8(library / "0 First" / "new.mp3")]["file"], "0002/00020000.WMA");

    // Another time, another size and a lost song file: those three are converted again.
    const fs::path retimed = library / "Tagged" / "b.flac";
    fs::last_write_time(retimed, fs::last_write_time(retimed) + std::chrono::seconds(10));
    const fs::path resized = library / "Tagged" / "a.mp3";
    WriteFile(resized, ReadFile(resized) + "!");
    const fs::path lost = library / "intro.wav";
    fs::remove(Music() / Utf8Path(moved[PathToUtf8(lost)]["file"].get<std::string>()));
    TakeRuns();
    logged.clear();
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_THAT(MusicLog().back(), testing::HasSubstr(", 3 converted, " + std::to_string(songs - 2) + " kept"));
    const nlohmann::json changed = Cache();
    EXPECT_EQ(changed[PathToUtf8(resized)]["size"], fs::file_size(resized));
    EXPECT_EQ(changed[PathToUtf8(retimed)]["time"].get<std::int64_t>(),
              moved[PathToUtf8(retimed)]["time"].get<std::int64_t>() + 10 * kTicksPerSecond);
    EXPECT_TRUE(fs::exists(Music() / Utf8Path(changed[PathToUtf8(lost)]["file"].get<std::string>())));
    if (!RealTools()) {
        std::vector<std::string> converted;
        for (const std::string& run : TakeRuns()) {
            if (run.rfind("ffmpeg ", 0) == 0) converted.push_back(run.substr(7));
        }
        EXPECT_THAT(converted, testing::IsSupersetOf({PathToUtf8(lost), PathToUtf8(retimed), PathToUtf8(resized)}));
        EXPECT_EQ(converted.size(), 5u);
    }
}

#ifndef _WIN32
// A Linux file name need not be UTF-8: the song is imported under a mended name, and left out of the
// cache, whose keys must be UTF-8.
TEST_F(MusicImportTest, AFileNameThatIsNotUtf8IsImported) {
    const fs::path library = temp / "odd";
    fs::create_directories(library);
    fs::copy_file(FixtureLibrary() / "intro.wav", library / "x\xFF.wav");
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_EQ(result, "1 songs in 1 soundtracks");
    EXPECT_EQ(Cache(), nlohmann::json::object());
    EXPECT_TRUE(ReadFile(Music() / "ST.DB") ==
                BuildSoundtrackDb({Soundtrack{"odd", {Song{library / "x\xFF.wav", "x\xEF\xBF\xBD", 1000}}}}));
}
#endif

#ifdef _WIN32
TEST_F(MusicImportTest, AToolListWithoutFfmpegIsRefused) {
    PublishToolList(false);
    EXPECT_FALSE(Import(FixtureLibrary()));
    EXPECT_EQ(error, "toolchain.json lists no ffmpeg, which converts the music");
    EXPECT_EQ(result, "untouched");
    EXPECT_FALSE(fs::exists(Music()));
    EXPECT_FALSE(fs::exists(temp / "base" / "tools" / "ffmpeg"));
}
#endif

struct GuardCase {
    const char* name;
    std::function<fs::path(const fs::path& temp, const fs::path& music)> prepare;  // gives the folder to import
    std::function<std::string(const fs::path& folder, const fs::path& music)> message;
};

std::function<std::string(const fs::path&, const fs::path&)> OverlapMessage(const std::string& overlap) {
    return [overlap](const fs::path&, const fs::path& music) {
        return "The music folder " + overlap + " the game's music folder, which each import empties: " +
               PathToUtf8(music) + ". Choose a folder outside it.";
    };
}

class MusicImportGuardTest : public MusicImportTest, public testing::WithParamInterface<GuardCase> {};

TEST_P(MusicImportGuardTest, RefusesAndTouchesNothing) {
    const GuardCase& c = GetParam();
    const fs::path folder = c.prepare(temp.path(), Music());
    const std::map<std::string, std::string> before = MusicFiles();
    EXPECT_FALSE(Import(folder));
    EXPECT_EQ(error, c.message(folder, Music()));
    EXPECT_EQ(result, "untouched");
    EXPECT_TRUE(MusicFiles() == before);
    EXPECT_FALSE(fs::exists(Music() / ".staging"));
    EXPECT_FALSE(fs::exists(temp / "base" / "launcher.json"));
    EXPECT_THAT(TakeRuns(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    MusicImportTest, MusicImportGuardTest,
    testing::Values(GuardCase{"missing_folder", [](const fs::path& temp, const fs::path&) { return temp / "missing"; },
                              [](const fs::path& folder, const fs::path&) {
                                  return "The music folder is not there: " + PathToUtf8(folder);
                              }},
                    GuardCase{"a_file_as_the_folder",
                              [](const fs::path& temp, const fs::path&) {
                                  WriteFile(temp / "song.mp3", "");
                                  return temp / "song.mp3";
                              },
                              [](const fs::path& folder, const fs::path&) {
                                  return "The music folder is not there: " + PathToUtf8(folder);
                              }},
                    GuardCase{"no_music",
                              [](const fs::path& temp, const fs::path&) {
                                  WriteFile(temp / "music" / "notes.txt", "");
                                  WriteFile(temp / "music" / "art" / "cover.jpg", "");
                                  WriteFile(temp / "music" / ".mp3", "");
                                  return temp / "music";
                              },
                              [](const fs::path& folder, const fs::path&) {
                                  return "No music found in " + PathToUtf8(folder) +
                                         " (MP3, FLAC, OGG, Opus, M4A, AAC, WAV, WMA or AIFF files)";
                              }},
                    // The user's own album in the game's music folder, which every import empties.
                    GuardCase{"the_games_music_folder",
                              [](const fs::path&, const fs::path& music) {
                                  WriteFile(music / "Album" / "mine.mp3", "mine");
                                  return music / "Album" / "..";
                              },
                              OverlapMessage("is")},
                    GuardCase{"inside_the_games_music_folder",
                              [](const fs::path&, const fs::path& music) {
                                  WriteFile(music / "Album" / "mine.mp3", "mine");
                                  return music / "Album";
                              },
                              OverlapMessage("lies inside")},
                    GuardCase{"holding_the_games_music_folder",
                              [](const fs::path& temp, const fs::path& music) {
                                  WriteFile(music / "Album" / "mine.mp3", "mine");
                                  WriteFile(temp / "base" / "play" / "hdd" / "loose.mp3", "loose");
                                  return temp / "base" / "play" / "hdd";
                              },
                              OverlapMessage("holds")},
                    GuardCase{
                        "soundtracks_from_an_xbox",
                        [](const fs::path& temp, const fs::path& music) {
                            WriteFile(music / "ST.DB", "an Xbox's own");
                            WriteFile(music / "0001" / "00010000.WMA", "a song from the Xbox");
                            WriteFile(temp / "music" / "a.mp3", "");
                            return temp / "music";
                        },
                        [](const fs::path&, const fs::path& music) {
                            return "The game's music folder holds soundtracks not made here (copied from an Xbox?): " +
                                   PathToUtf8(music) + ". Move them away to use a folder of your own music.";
                        }}),
    CaseName());

}  // namespace
}  // namespace launcher::test
