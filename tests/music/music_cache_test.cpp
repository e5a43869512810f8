// Reading a member of the music cache, which a user may have edited.
#include "music/music_cache.h"

#include <gtest/gtest.h>

#include "tests/support/case_name.h"

namespace launcher {
namespace {

struct EntryCase {
    const char* name;
    const char* member;  // the JSON of the member for "key", or nullptr for none
    bool present;
    std::uint64_t size;
    std::int64_t time;
    const char* file;
    const char* songName;  // nullptr: none given
    std::int32_t ms;
};

class MusicCacheEntryTest : public testing::TestWithParam<EntryCase> {};

TEST_P(MusicCacheEntryTest, Reads) {
    const EntryCase& c = GetParam();
    MusicCache cache = MusicCache::object();
    cache["other"] = {{"file", "0001/00010000.WMA"}, {"size", 9}};
    if (c.member != nullptr) cache["key"] = MusicCache::parse(c.member);
    const std::optional<MusicCacheEntry> entry = FindMusicCacheEntry(cache, "key");
    ASSERT_EQ(entry.has_value(), c.present);
    if (!c.present) return;
    EXPECT_EQ(entry->size, c.size);
    EXPECT_EQ(entry->time, c.time);
    EXPECT_EQ(entry->file, c.file);
    EXPECT_EQ(entry->name.has_value(), c.songName != nullptr);
    if (c.songName != nullptr) {
        EXPECT_EQ(*entry->name, c.songName);
    }
    EXPECT_EQ(entry->ms, c.ms);
}

INSTANTIATE_TEST_SUITE_P(
    MusicImportTest, MusicCacheEntryTest,
    testing::Values(
        EntryCase{"whole", R"({"file":"0002/00020001.WMA","ms":4294967295,"name":"A / B","size":12,"time":-5})", true,
                  12, -5, "0002/00020001.WMA", "A / B", -1},
        EntryCase{"missing", nullptr, false, 0, 0, "", nullptr, 0},
        EntryCase{"not_an_object", R"(["0001/00010000.WMA"])", false, 0, 0, "", nullptr, 0},
        EntryCase{"empty_object", "{}", true, 0, 0, "", nullptr, 0},
        EntryCase{"values_of_other_types", R"({"file":7,"ms":"1000","name":3,"size":"12","time":1.5})", true, 0, 0, "",
                  nullptr, 0},
        EntryCase{"negative_size_and_ms", R"({"size":-1,"ms":-1})", true, 0, 0, "", nullptr, 0},
        EntryCase{"ms_past_32_bits", R"({"ms":4294967296})", true, 0, 0, "", nullptr, 0},
        EntryCase{"time_past_64_bits_signed", R"({"time":9223372036854775808})", true, 0, 0, "", nullptr, 0},
        EntryCase{"largest_time", R"({"time":9223372036854775807})", true, 0, 9223372036854775807, "", nullptr, 0},
        EntryCase{"file_leading_out", R"({"file":"../../launcher.json"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_rooted", R"({"file":"/etc/passwd"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_empty", R"({"file":""})", true, 0, 0, "", nullptr, 0},
        // Only a song file's name: never the work folder's files or the import's own.
        EntryCase{"file_staged", R"({"file":".staging/0.WMA"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_the_database", R"({"file":"ST.DB"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_the_cache", R"({"file":"launcher-music.json"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_upper_case_digits", R"({"file":"000A/000A0000.WMA"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_lower_case_extension", R"({"file":"0001/00010000.wma"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_short_song_id", R"({"file":"0001/0001000.WMA"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_backslash", R"({"file":"0001\\00010000.WMA"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_in_a_subfolder", R"({"file":"0001/0001/00010000.WMA"})", true, 0, 0, "", nullptr, 0},
        EntryCase{"file_song_of_soundtrack_100", R"({"file":"0064/006401f7.WMA"})", true, 0, 0, "0064/006401f7.WMA",
                  nullptr, 0}),
    test::CaseName());

TEST(MusicCacheTest, TheTextIsSortedIndentedByOneAndMendsBadBytes) {
    MusicCache cache = MusicCache::object();
    SetMusicCacheEntry(cache, "b\xFF", 1, -2, "0001/00010001.WMA", "n", -1);
    SetMusicCacheEntry(cache, "a", 3, 4, "0001/00010000.WMA", "x", 5);
    EXPECT_EQ(MusicCacheText(cache),
              "{\n \"a\": {\n  \"file\": \"0001/00010000.WMA\",\n  \"ms\": 5,\n  \"name\": \"x\",\n  \"size\": 3,\n"
              "  \"time\": 4\n },\n \"b\xEF\xBF\xBD\": {\n  \"file\": \"0001/00010001.WMA\",\n  \"ms\": 4294967295,\n"
              "  \"name\": \"n\",\n  \"size\": 1,\n  \"time\": -2\n }\n}");
}

}  // namespace
}  // namespace launcher
