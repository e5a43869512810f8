// The prober's lines and the duration in milliseconds.
#include "music/song_probe.h"

#include <gtest/gtest.h>

#include "tests/support/case_name.h"

namespace launcher {
namespace {

struct ProbeCase {
    const char* name;
    std::vector<std::string> lines;
    double duration;
    const char* title;
    const char* artist;
};

class ParseProbeLineTest : public testing::TestWithParam<ProbeCase> {};

TEST_P(ParseProbeLineTest, Reads) {
    const ProbeCase& c = GetParam();
    ProbedSong song{7.0, "old title", "old artist"};
    for (const std::string& line : c.lines) ParseProbeLine(line, song);
    EXPECT_EQ(song.duration, c.duration);
    EXPECT_EQ(song.title, c.title);
    EXPECT_EQ(song.artist, c.artist);
}

INSTANTIATE_TEST_SUITE_P(
    MusicImportTest, ParseProbeLineTest,
    testing::Values(
        ProbeCase{"duration", {"duration=2.5"}, 2.5, "old title", "old artist"},
        ProbeCase{"no_duration", {"duration=N/A"}, 0.0, "old title", "old artist"},
        ProbeCase{"empty_duration", {"duration="}, 0.0, "old title", "old artist"},
        ProbeCase{"duration_in_another_case", {"Duration=3"}, 7.0, "old title", "old artist"},
        ProbeCase{"infinite", {"duration=inf"}, 0.0, "old title", "old artist"},
        ProbeCase{"not_a_number", {"duration=nan"}, 0.0, "old title", "old artist"},
        ProbeCase{"too_long_for_64_bits", {"duration=9223372036854776"}, 0.0, "old title", "old artist"},
        ProbeCase{"just_fits_64_bits", {"duration=9223372036854774"}, 9223372036854774.0, "old title", "old artist"},
        ProbeCase{"title_and_artist", {"TAG:title=Song", "TAG:artist=Band"}, 7.0, "Song", "Band"},
        ProbeCase{"tags_in_any_case", {"TAG:ARTIST=X", "tag:Title=Y"}, 7.0, "Y", "X"},
        ProbeCase{
            "the_later_line_wins", {"TAG:title=Stream", "duration=1", "TAG:title=File"}, 1.0, "File", "old artist"},
        ProbeCase{"a_title_holding_equals", {"TAG:title=a=b=c"}, 7.0, "a=b=c", "old artist"},
        ProbeCase{"an_empty_title", {"TAG:title="}, 7.0, "", "old artist"},
        ProbeCase{"bytes_as_received", {"TAG:title=\xFF\xFE"}, 7.0, "\xFF\xFE", "old artist"},
        ProbeCase{"other_lines", {"TAG:album=A", "TAG:title", "[FORMAT]", "duration"}, 7.0, "old title", "old artist"}),
    test::CaseName());

struct MsCase {
    const char* name;
    double seconds;
    std::int32_t ms;
};

class DurationMsTest : public testing::TestWithParam<MsCase> {};

TEST_P(DurationMsTest, Truncates) { EXPECT_EQ(DurationMs(GetParam().seconds), GetParam().ms); }

INSTANTIATE_TEST_SUITE_P(MusicImportTest, DurationMsTest,
                         testing::Values(MsCase{"whole", 1.0, 1000}, MsCase{"truncated", 1.0449, 1044},
                                         MsCase{"toward_zero", -0.0015, -1},
                                         MsCase{"kept_in_32_bits", 2147483.648, -2147483647 - 1},
                                         MsCase{"wraps_to_zero", 4294967.296, 0},
                                         MsCase{"not_finite", std::numeric_limits<double>::infinity(), 0}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
