// ST.DB and the song file names, against an independent writer (soundtrack_db_reference.py).
#include "music/soundtrack_db.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/case_name.h"
#include "tests/support/digests.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

std::uint32_t U32At(const std::string& image, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(image[offset + i]);
    return value;
}

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

// Where two images first differ, for a readable failure.
std::string FirstDifference(const std::string& ours, const std::string& reference) {
    if (ours == reference) return "none";
    std::size_t at = 0;
    while (at < ours.size() && at < reference.size() && ours[at] == reference[at]) ++at;
    char text[96];
    std::snprintf(text, sizeof text, "sizes 0x%zx and 0x%zx, first difference at 0x%zx", ours.size(), reference.size(),
                  at);
    return text;
}

class SoundtrackDbReferenceTest : public testing::TestWithParam<const char*> {};

TEST_P(SoundtrackDbReferenceTest, EqualsTheIndependentWriter) {
    const fs::path folder = test::PathFromEnvironment("LAUNCHER_SOUNDTRACK_DB_REFERENCE");
    const std::string name = GetParam();
    const auto description = nlohmann::json::parse(test::ReadFile(folder / (name + ".json")));
    std::vector<Soundtrack> soundtracks;
    for (const auto& entry : description.at("soundtracks")) {
        Soundtrack soundtrack{FromHex(entry.at("name_hex")), {}};
        for (const auto& song : entry.at("songs")) {
            soundtrack.songs.push_back(Song{"x.mp3", FromHex(song.at("name_hex")), song.at("ms").get<std::int32_t>()});
        }
        soundtracks.push_back(std::move(soundtrack));
    }
    const std::string reference = test::ReadFile(folder / (name + ".db"));
    ASSERT_FALSE(reference.empty());
    const std::string ours = BuildSoundtrackDb(soundtracks);
    EXPECT_TRUE(ours == reference) << FirstDifference(ours, reference);
}

INSTANTIATE_TEST_SUITE_P(SoundtrackDbTest, SoundtrackDbReferenceTest,
                         testing::Values("no_soundtrack", "rock", "rock_and_unicode", "full_soundtrack",
                                         "more_than_100", "wrapping_total", "long_and_odd_names"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

Soundtrack Rock() {
    Soundtrack rock{"Rock", {}};
    for (int i = 0; i < 7; ++i)
        rock.songs.push_back(Song{"x.mp3", std::string(1, static_cast<char>('a' + i)), 1000 * (i + 1)});
    return rock;
}

// The digests were checked with the independent writer too.
TEST(SoundtrackDbTest, KnownImages) {
    const std::string none = BuildSoundtrackDb({});
    EXPECT_EQ(none.size(), 0xCA00u);
    EXPECT_EQ(test::Sha256Of(none), "4d1e3a1a8b73e07458f1b14a6f6ec00a1adec7018ec1642d2e98beb00a55de71");

    const std::string rock = BuildSoundtrackDb({Rock()});
    EXPECT_EQ(rock.size(), 0xCE00u);
    EXPECT_EQ(test::Sha256Of(rock), "75c9ea4047b7130a880ce95d2c55e28c6d5a25d8886902a21fac77adc1aaf515");

    const Soundtrack unicode{"\xC3\x9C\xF0\x9F\x98\x80", {Song{"x.mp3", "x", -1}, Song{"y.mp3", "y", 2}}};
    const std::string both = BuildSoundtrackDb({Rock(), unicode});
    EXPECT_EQ(both.size(), 0xD000u);
    EXPECT_EQ(test::Sha256Of(both), "305ffb1fb2e3d2f9f5d4c33c6c6b4bf62c981c84633df429e8900edd41eb7761");
}

TEST(SoundtrackDbTest, ASecondSoundtracksGroupsFollowTheFirsts) {
    const std::string image = BuildSoundtrackDb({Rock(), Rock()});
    // Rock has two groups (0 and 1), so the second soundtrack's groups are 2 and 3.
    EXPECT_EQ(U32At(image, 0x400 + 0x0C), 2u);
    EXPECT_EQ(U32At(image, 0x400 + 0x10), 3u);
    EXPECT_EQ(U32At(image, 0xCA00 + 0x200 * 3 + 0x04), 2u);  // soundtrack id
    EXPECT_EQ(U32At(image, 0xCA00 + 0x200 * 3 + 0x08), 1u);  // its group index
    EXPECT_EQ(U32At(image, 0xCA00 + 0x200 * 3 + 0x10), 0x00020006u);
}

TEST(SoundtrackDbTest, PastOneHundredSoundtracksTheHeaderStopsButTheSizeCountsAll) {
    std::vector<Soundtrack> soundtracks(101, Rock());
    const std::string image = BuildSoundtrackDb(soundtracks);
    EXPECT_EQ(image.size(), 0xCA00u + 0x200u * 2 * 101);
    EXPECT_EQ(U32At(image, 0x04), 100u);
    EXPECT_EQ(U32At(image, 0x08), 101u);
    EXPECT_EQ(U32At(image, 0x0C + 4 * 99), 100u);
    // The 101st soundtrack's two group blocks stay zero at the end.
    EXPECT_EQ(image.substr(0xCA00 + 0x200 * 200), std::string(0x400, '\0'));
}

TEST(SoundtrackDbTest, FiveHundredAndFourSongsFillEveryGroupEntry) {
    Soundtrack full{"Full", {}};
    for (int i = 0; i < 504; ++i) full.songs.push_back(Song{"x.mp3", "s", 1});
    const std::string image = BuildSoundtrackDb({full});
    EXPECT_EQ(image.size(), 0xCA00u + 0x200u * 84);
    EXPECT_EQ(U32At(image, 0x200 + 0x0C + 4 * 83), 83u);  // the last entry, just before the total
    EXPECT_EQ(U32At(image, 0x200 + 0x15C), 504u);
    EXPECT_EQ(U32At(image, 0xCA00 + 0x200 * 83 + 0x10 + 4 * 5), 0x000101F7u);
}

struct NameCase {
    const char* name;
    std::string utf8;
    std::u16string units;
};

class WriteDbNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(WriteDbNameTest, WritesTheUnitsAndNothingElse) {
    const NameCase& c = GetParam();
    std::string image(200, '\xAA');
    WriteDbName(image, 4, c.utf8);
    std::u16string written;
    for (std::size_t i = 0; i < c.units.size(); ++i) {
        written += static_cast<char16_t>(static_cast<unsigned char>(image[4 + 2 * i]) |
                                         (static_cast<unsigned char>(image[5 + 2 * i]) << 8));
    }
    EXPECT_TRUE(written == c.units);
    EXPECT_EQ(image.substr(0, 4), std::string(4, '\xAA'));
    EXPECT_EQ(image.substr(4 + 2 * c.units.size()), std::string(196 - 2 * c.units.size(), '\xAA'));
}

INSTANTIATE_TEST_SUITE_P(
    SoundtrackDbTest, WriteDbNameTest,
    testing::Values(
        NameCase{"empty", "", u""}, NameCase{"ascii", "Rock", u"Rock"},
        NameCase{"forty_ascii_keep_31", std::string(40, 'a'), std::u16string(31, u'a')},
        NameCase{"thirty_and_a_pair_keep_30", std::string(30, 'a') + "\xF0\x9F\x98\x80", std::u16string(30, u'a')},
        NameCase{"twenty_nine_and_a_pair_fill_31", std::string(29, 'a') + "\xF0\x9F\x98\x80z",
                 std::u16string(29, u'a') + u"\xD83D\xDE00"},
        NameCase{"thirty_and_one_unit", std::string(30, 'a') + "\xC3\xA9z", std::u16string(30, u'a') + u"\u00E9"},
        NameCase{"two_bytes", "\xC3\x9C", u"\u00DC"}, NameCase{"three_bytes", "\xE2\x82\xAC", u"\u20AC"},
        NameCase{"continuation_not_checked", "\xC3\x41", u"\u00C1"}, NameCase{"cut_at_the_end", "a\xC3", u"a\u0003"},
        NameCase{"stray_continuation", "\x80", u"\u0080"}, NameCase{"lead_f8", "\xF8\x88\x80\x80", u"\u8000"},
        NameCase{"lead_ff_three_bits_as_f0", "\xFF\x80\x80\x80", u"\xDEC0\xDC00"}),
    test::CaseName());

struct SongPathCase {
    const char* name;
    std::uint32_t soundtrack, index;
    const char* path;
};

class SongPathTest : public testing::TestWithParam<SongPathCase> {};

TEST_P(SongPathTest, Names) { EXPECT_EQ(SongPath(GetParam().soundtrack, GetParam().index), GetParam().path); }

INSTANTIATE_TEST_SUITE_P(SoundtrackDbTest, SongPathTest,
                         testing::Values(SongPathCase{"first", 1, 0, "0001/00010000.WMA"},
                                         SongPathCase{"lower_case_hex", 10, 5, "000a/000a0005.WMA"},
                                         SongPathCase{"last_of_the_last", 100, 503, "0064/006401f7.WMA"}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
