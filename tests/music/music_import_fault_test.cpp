// The music import when things go wrong, with the fake ffprobe and ffmpeg: a stop, a cache that
// cannot be written, prober output that is no use.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "music/soundtrack_db.h"
#include "platform/text.h"
#include "tests/music/music_import_fixture.h"
#ifndef _WIN32
#include "tests/support/immutable_file.h"
#endif
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher::test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

// Makes the atomic writer fail for one target: something stands at its temporary name that the
// writer cannot clear and the clearing of MUSIC leaves (it removes folders only). On Windows a file
// held open without sharing; natively, as root, an immutable file (chattr +i); elsewhere a folder
// whose read-only subfolder keeps a file. Once released, the next write goes through.
class WriteBlocker {
public:
    WriteBlocker(Platform& platform, fs::path target) : partial_(std::move(target += ".partial")) {
        fs::create_directories(partial_.parent_path());
#ifdef _WIN32
        (void)platform;
        handle_ = CreateFileW(partial_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) ADD_FAILURE() << "cannot hold " << PathToUtf8(partial_);
#else
        if (geteuid() == 0) {
            std::ofstream(partial_).put('x');
            immutable_ = std::make_unique<ImmutableFile>(platform, partial_);
            if (!immutable_->made()) ADD_FAILURE() << "cannot make " << PathToUtf8(partial_) << " immutable";
        } else {
            fs::create_directories(partial_ / "kept");
            std::ofstream(partial_ / "kept" / "file").put('x');
            chmod((partial_ / "kept").c_str(), 0555);
        }
#endif
    }
    ~WriteBlocker() { Release(); }
    WriteBlocker(const WriteBlocker&) = delete;
    WriteBlocker& operator=(const WriteBlocker&) = delete;

    void Release() {
#ifdef _WIN32
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
#else
        immutable_.reset();
        chmod((partial_ / "kept").c_str(), 0755);
#endif
        std::error_code ec;
        fs::remove_all(partial_, ec);
    }

private:
    fs::path partial_;
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    std::unique_ptr<ImmutableFile> immutable_;
#endif
};

// A song file that can be neither removed nor replaced while this lives: on Windows held open as the
// game or a scanner would hold it; natively made immutable (chattr +i) as root, elsewhere its folder
// made read-only.
class SongLock {
public:
    SongLock(Platform& platform, const fs::path& file) : file_(file) {
#ifdef _WIN32
        (void)platform;
        handle_ = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        held_ = handle_ != INVALID_HANDLE_VALUE;
#else
        if (geteuid() == 0) {
            immutable_ = std::make_unique<ImmutableFile>(platform, file);
            held_ = immutable_->made();
        } else {
            held_ = chmod(file.parent_path().c_str(), 0555) == 0;
        }
#endif
    }
    ~SongLock() { Release(); }
    SongLock(const SongLock&) = delete;
    SongLock& operator=(const SongLock&) = delete;

    bool held() const { return held_; }
    void Release() {
        if (!held_) return;
        held_ = false;
#ifdef _WIN32
        CloseHandle(handle_);
#else
        if (immutable_) {
            immutable_.reset();
        } else {
            chmod(file_.parent_path().c_str(), 0755);
        }
#endif
    }

private:
    fs::path file_;
    bool held_ = false;
#ifdef _WIN32
    HANDLE handle_ = INVALID_HANDLE_VALUE;
#else
    std::unique_ptr<ImmutableFile> immutable_;
#endif
};

class MusicImportFaultTest : public MusicImportTest {
protected:
    void SetUp() override {
        MusicImportTest::SetUp();
        UseFakeTools();
    }

    // Soundtracks "Rock" (three songs) and "Jazz" (two), each song converting to a text of its own.
    fs::path MakeLibrary() {
        const fs::path library = temp / "library";
        for (const char* song : {"Rock/r1.mp3", "Rock/r2.mp3", "Rock/r3.mp3", "Jazz/j1.flac", "Jazz/j2.flac"}) {
            AddFakeSong(library / song, "duration=1.5\nTAG:title=" + std::string(song) + "\n",
                        std::string("wma of ") + song);
        }
        return library;
    }

    // Imports while another thread sets the cancel flag whenever stopNow says so (asked every 20 ms):
    // the import must end as stopped.
    void ImportStopped(const fs::path& library, const std::function<bool()>& stopNow) {
        std::atomic<bool> done{false};
        std::thread stopper([&] {
            while (!done) {
                if (stopNow()) builder->cancel = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        const auto start = std::chrono::steady_clock::now();
        const bool imported = Import(library);
        done = true;
        stopper.join();
        EXPECT_FALSE(imported);
        EXPECT_EQ(error, "cancelled");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));  // a hang guard only
    }

    // Each song's file in MUSIC, by the source's name, as the cache gives it.
    std::map<std::string, std::string> SongFiles() {
        std::map<std::string, std::string> songs;
        const nlohmann::json cache = Cache();
        for (const auto& [key, member] : cache.items()) {
            songs[PathToUtf8(Utf8Path(key).filename())] =
                ReadFile(Music() / Utf8Path(member["file"].get<std::string>()));
        }
        return songs;
    }
};

TEST_F(MusicImportFaultTest, AStopPutsTheReusedSongsBack) {
    const fs::path library = MakeLibrary();
    ASSERT_TRUE(Import(library)) << error;
    const std::map<std::string, std::string> before = MusicFiles();
    result = "untouched";
    onStatus = [this](const Status& status) {
        if (status.detail.rfind("3 of", 0) == 0) builder->cancel = true;
    };
    EXPECT_FALSE(Import(library));
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(result, "untouched");
    EXPECT_TRUE(MusicFiles() == before);
    EXPECT_FALSE(fs::exists(Music() / ".staging"));

    // The flag is cleared by the next import, which reuses everything.
    onStatus = nullptr;
    logged.clear();
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_THAT(MusicLog().back(), testing::HasSubstr("0 converted, 5 kept from last time"));
}

TEST_F(MusicImportFaultTest, AStopEndsARunningConversion) {
    const fs::path library = MakeLibrary();
    WriteFile(library / "Jazz" / "j1.flac.sleep", "60000");
    // Once the converter is running on the sleeping song.
    const std::string sleeping = "ffmpeg " + PathToUtf8(library / "Jazz" / "j1.flac");
    bool seen = false;
    ImportStopped(library, [&] {
        for (const std::string& run : TakeRuns()) seen = seen || run == sleeping;
        return seen;
    });
    EXPECT_THAT(MusicFiles(), IsEmpty());
    EXPECT_FALSE(fs::exists(Music() / ".staging"));
}

#ifndef _WIN32
// Stop while the folder is scanned, which links make long here: two a level, 24 levels, about 2^25
// folders to list.
TEST_F(MusicImportFaultTest, AStopDuringTheScanEndsTheImport) {
    const fs::path library = MakeLibrary();
    ASSERT_TRUE(Import(library)) << error;
    const std::map<std::string, std::string> before = MusicFiles();
    const fs::path deep = library / "Deep";
    for (int level = 0; level < 24; ++level) {
        const fs::path folder = deep / ("n" + std::to_string(level));
        fs::create_directories(folder);
        if (level == 23) continue;
        for (const char* link : {"a", "b"}) fs::create_directory_symlink("../n" + std::to_string(level + 1), folder / link);
    }
    TakeRuns();
    result = "untouched";
    // Again and again, since the import clears the flag when it starts.
    ImportStopped(library, [] { return true; });
    EXPECT_EQ(result, "untouched");
    EXPECT_TRUE(MusicFiles() == before);
    EXPECT_FALSE(fs::exists(Music() / ".staging"));
    EXPECT_THAT(TakeRuns(), IsEmpty());
}
#endif

// A cache that could not be written must not outlive the files it names: positions are names, and
// the next import would give songs another song's file.
TEST_F(MusicImportFaultTest, ACacheThatCannotBeWrittenLeavesNoDatabaseAndNoStaleCache) {
    const fs::path library = MakeLibrary();
    ASSERT_TRUE(Import(library)) << error;
    const std::map<std::string, std::string> songs = SongFiles();

    // A soundtrack that sorts first moves every song to another file name.
    AddFakeSong(library / "Blues" / "b1.mp3", "duration=2\n", "wma of Blues/b1.mp3");
    WriteBlocker blocker(*platform, Music() / "launcher-music.json");
    result = "untouched";
    EXPECT_FALSE(Import(library));
    blocker.Release();
    EXPECT_THAT(error, testing::StartsWith("Could not write " + PathToUtf8(Music() / "launcher-music.json") + " ("));
    EXPECT_THAT(error, testing::EndsWith(")"));
    EXPECT_EQ(result, "untouched");
    EXPECT_FALSE(fs::exists(Music() / "ST.DB"));
    EXPECT_FALSE(fs::exists(Music() / "launcher-music.json"));

    ASSERT_TRUE(Import(library)) << error;
    EXPECT_EQ(result, "6 songs in 3 soundtracks");
    std::map<std::string, std::string> expected = songs;
    expected["b1.mp3"] = "wma of Blues/b1.mp3";
    EXPECT_EQ(SongFiles(), expected);
    EXPECT_TRUE(fs::exists(Music() / "ST.DB"));
}

TEST_F(MusicImportFaultTest, ADatabaseThatCannotBeWrittenIsReportedAndTheNextImportGoesOn) {
    const fs::path library = MakeLibrary();
    WriteBlocker blocker(*platform, Music() / "ST.DB");
    EXPECT_FALSE(Import(library));
    blocker.Release();
    EXPECT_THAT(error, testing::StartsWith("Could not write " + PathToUtf8(Music() / "ST.DB") + " ("));
    EXPECT_FALSE(fs::exists(Music() / "ST.DB"));

    logged.clear();
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_THAT(MusicLog().back(), testing::HasSubstr("0 converted, 5 kept from last time"));
    EXPECT_TRUE(fs::exists(Music() / "ST.DB"));
}

#ifdef _WIN32
// The game reading ST.DB while the import runs (on Linux nothing stops the owner of a folder from
// removing a file in it): the import ends as a stop does.
TEST_F(MusicImportFaultTest, ADatabaseThatCannotBeRemovedEndsTheImportAsAStopDoes) {
    const fs::path library = MakeLibrary();
    ASSERT_TRUE(Import(library)) << error;
    const std::map<std::string, std::string> before = MusicFiles();
    const fs::path database = Music() / "ST.DB";
    const HANDLE reader = CreateFileW(database.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const bool imported = Import(library);
    CloseHandle(reader);
    EXPECT_FALSE(imported);
    EXPECT_THAT(error, testing::StartsWith("Could not remove " + PathToUtf8(database) + " ("));
    EXPECT_TRUE(MusicFiles() == before);
    EXPECT_FALSE(fs::exists(Music() / ".staging"));
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_TRUE(MusicFiles() == before);
}
#endif

// An old song file that cannot be replaced keeps its audio under a name that a new song now has:
// that song is counted and logged, and the cache forgets it, so that no later import takes the old
// audio for it.
TEST_F(MusicImportFaultTest, ASongThatCannotBePutInPlaceIsConvertedAgainNextTime) {
    const fs::path library = MakeLibrary();
    ASSERT_TRUE(Import(library)) << error;
    const std::map<std::string, std::string> songs = SongFiles();
    // Jazz is soundtrack 1, so j1.flac's file is the first song's.
    ASSERT_EQ(ReadFile(Music() / "0001" / "00010000.WMA"), "wma of Jazz/j1.flac");

    // A soundtrack that sorts first takes that name for b1.mp3.
    AddFakeSong(library / "Blues" / "b1.mp3", "duration=2\n", "wma of Blues/b1.mp3");
    const std::string b1 = PathToUtf8(library / "Blues" / "b1.mp3");
    SongLock lock(*platform, Music() / "0001" / "00010000.WMA");
    if (!lock.held()) GTEST_SKIP() << "the song file cannot be locked here";
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        logged.clear();
        ASSERT_TRUE(Import(library)) << error;
        EXPECT_EQ(result, "6 songs in 3 soundtracks (1 could not be put in place: see launcher.log)");
        EXPECT_THAT(MusicLog(),
                    testing::Contains(testing::StartsWith("music: " + b1 + " could not be put in place as "
                                                          "0001/00010000.WMA: ")));
        EXPECT_FALSE(Cache().contains(b1));
        EXPECT_EQ(ReadFile(Music() / "0001" / "00010000.WMA"), "wma of Jazz/j1.flac");
    }
    // The second time only b1.mp3 was converted: the other songs were in place.
    EXPECT_THAT(MusicLog().back(), testing::HasSubstr(", 1 converted, 5 kept from last time"));

    lock.Release();
    logged.clear();
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_EQ(result, "6 songs in 3 soundtracks");
    EXPECT_THAT(MusicLog().back(), testing::HasSubstr(", 1 converted, 5 kept from last time"));
    std::map<std::string, std::string> expected = songs;
    expected["b1.mp3"] = "wma of Blues/b1.mp3";
    EXPECT_EQ(SongFiles(), expected);
}

#ifndef _WIN32
// "x\xFF.wav" is not UTF-8: its key, mended, would be that of a real "x\u{FFFD}.wav", and one song
// would take the other's file when both sources have one size and one time.
TEST_F(MusicImportFaultTest, ASongWhoseKeyIsNotUtf8IsNeverCached) {
    const fs::path library = temp / "odd";
    const fs::path bad = library / "x\xFF.wav";
    const fs::path replacement = library / "x\xEF\xBF\xBD.wav";
    AddFakeSong(bad, "duration=1\n", "wma of the bad byte");
    AddFakeSong(replacement, "duration=1\n", "wma of the replacement character");
    for (const fs::path& source : {bad, replacement}) {
        WriteFile(source, "the same size");
        fs::last_write_time(source, fs::last_write_time(library));
    }
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        logged.clear();
        ASSERT_TRUE(Import(library)) << error;
        EXPECT_THAT(MusicLog().back(), testing::HasSubstr(run == 0 ? ", 2 converted, 0 kept" : ", 1 converted, 1 kept"));
        const nlohmann::json cache = Cache();
        ASSERT_EQ(cache.size(), 1u);
        EXPECT_EQ(cache.begin().key(), PathToUtf8(replacement));
        // The names sort by their bytes: the replacement character first.
        const std::map<std::string, std::string> files = MusicFiles();
        EXPECT_EQ(files.at("0001/00010000.WMA"), "wma of the replacement character");
        EXPECT_EQ(files.at("0001/00010001.WMA"), "wma of the bad byte");
    }
}
#endif

#ifndef _WIN32
// A folder's name that is not UTF-8 reaches ST.DB mended, as a song's does.
TEST_F(MusicImportFaultTest, ASoundtrackNameThatIsNotUtf8IsMended) {
    const fs::path library = temp / "Mus\xFFik and more";
    AddFakeSong(library / "a.mp3", "duration=1\nTAG:title=A\n", "wma of a");
    AddFakeSong(library / "Sub\xFE" / "b.mp3", "duration=2\nTAG:title=B\n", "wma of b");
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_TRUE(ReadFile(Music() / "ST.DB") ==
                BuildSoundtrackDb({Soundtrack{"Mus\xEF\xBF\xBDik and more", {Song{library / "a.mp3", "A", 1000}}},
                                   Soundtrack{"Sub\xEF\xBF\xBD", {Song{library / "Sub\xFE" / "b.mp3", "B", 2000}}}}));
}
#endif

TEST_F(MusicImportFaultTest, UselessProberOutputGivesTheFileNameAndNoDuration) {
    const fs::path library = temp / "library";
    AddFakeSong(library / "bytes.mp3", "duration=2\nTAG:title=\xFF\xFE\n", "wma of bytes");
    AddFakeSong(library / "nan.mp3", "duration=nan\nTAG:artist=Someone\n", "wma of nan");
    AddFakeSong(library / "inf.mp3", "duration=inf\n", "wma of inf");
    AddFakeSong(library / "huge.mp3", "duration=1e300\n", "wma of huge");
    ASSERT_TRUE(Import(library)) << error;
    const nlohmann::json cache = Cache();
    const auto member = [&](const char* file) { return cache.at(PathToUtf8(library / file)); };
    EXPECT_EQ(member("bytes.mp3")["name"], "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(member("bytes.mp3")["ms"], 2000);
    for (const char* file : {"nan.mp3", "inf.mp3", "huge.mp3"}) {
        EXPECT_EQ(member(file)["ms"], 0) << file;
        EXPECT_EQ(member(file)["name"], PathToUtf8(fs::path(file).stem())) << file;
    }
    // ST.DB holds the same name as the cache.
    Soundtrack expected{"library", {}};
    for (const char* file : {"bytes.mp3", "huge.mp3", "inf.mp3", "nan.mp3"}) {
        expected.songs.push_back(Song{file, member(file)["name"], member(file)["ms"].get<std::int32_t>()});
    }
    EXPECT_TRUE(ReadFile(Music() / "ST.DB") == BuildSoundtrackDb({expected}));
}

// The cache is the launcher's own, but a file on the user's disk: a name in it never leads out of MUSIC.
TEST_F(MusicImportFaultTest, ACachedFileNameLeadingOutOfMusicIsNotFollowed) {
    const fs::path library = MakeLibrary();
    ASSERT_TRUE(Import(library)) << error;
    WriteFile(temp / "outside.WMA", "not the launcher's");
    nlohmann::json cache = Cache();
    const std::string outside = PathToUtf8((temp / "outside.WMA").lexically_relative(Music()));
    ASSERT_TRUE(fs::exists(Music() / Utf8Path(outside)));
    cache[PathToUtf8(library / "Rock" / "r1.mp3")]["file"] = outside;
    WriteFile(Music() / "launcher-music.json", cache.dump());
    logged.clear();
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_THAT(MusicLog().back(), testing::HasSubstr("1 converted, 4 kept from last time"));
    EXPECT_EQ(ReadFile(temp / "outside.WMA"), "not the launcher's");
    EXPECT_EQ(SongFiles()["r1.mp3"], "wma of Rock/r1.mp3");
}

// An edited "file" naming the staged file of a song reused before it in the same import.
TEST_F(MusicImportFaultTest, ACachedFileNameThatIsNoSongFileIsNotFollowed) {
    const fs::path library = MakeLibrary();
    ASSERT_TRUE(Import(library)) << error;
    const std::map<std::string, std::string> songs = SongFiles();
    nlohmann::json cache = Cache();
    cache[PathToUtf8(library / "Rock" / "r1.mp3")]["file"] = ".staging/0.WMA";
    WriteFile(Music() / "launcher-music.json", cache.dump());
    logged.clear();
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_THAT(MusicLog().back(), testing::HasSubstr("1 converted, 4 kept from last time"));
    EXPECT_EQ(SongFiles(), songs);
}

TEST_F(MusicImportFaultTest, EverySongFailingStillCompletes) {
    const fs::path library = MakeLibrary();
    ASSERT_TRUE(Import(library)) << error;
    for (const char* song : {"Rock/r1.mp3", "Rock/r2.mp3", "Rock/r3.mp3", "Jazz/j1.flac", "Jazz/j2.flac"}) {
        WriteFile(library / (std::string(song) + ".fail"), "first line\nlast line\n");
        WriteFile(library / song, "changed");
    }
    ASSERT_TRUE(Import(library)) << error;
    EXPECT_EQ(result, "0 songs in 0 soundtracks (5 could not be converted: see launcher.log)");
    EXPECT_THAT(MusicFiles(),
                ElementsAre(testing::Pair("ST.DB", BuildSoundtrackDb({})), testing::Pair("launcher-music.json", "{}")));
    EXPECT_THAT(MusicLog(), testing::Contains("music: " + PathToUtf8(library / "Jazz" / "j1.flac") +
                                              " could not be converted: last line"));
}

}  // namespace
}  // namespace launcher::test
