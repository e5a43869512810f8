#include "builder/archive_mapping.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/case_name.h"

#ifndef _WIN32
#include <fnmatch.h>
#endif

namespace launcher {
namespace {

const std::vector<std::string> kClangKeep = {
    "bin/clang.exe",         "bin/clang++.exe",   "bin/clang-cl.exe",    "bin/lld-link.exe",
    "bin/lld.exe",           "bin/llvm-ar.exe",   "bin/llvm-lib.exe",    "bin/llvm-rc.exe",
    "bin/llvm-mt.exe",       "bin/llvm-ranlib.exe", "bin/api-ms-win-*.dll", "bin/ucrtbase.dll",
    "bin/msvcp140*.dll",     "bin/vcruntime140*.dll", "bin/concrt140.dll", "lib/clang/"};

struct MapCase {
    const char* name;
    const char* kind;
    int strip;
    std::vector<std::string> keep;
    std::string entry;
    std::string mapped;
};

class MapArchivePathTest : public testing::TestWithParam<MapCase> {};

TEST_P(MapArchivePathTest, Maps) {
    Tool tool;
    tool.id = "tool";
    tool.kind = GetParam().kind;
    tool.strip = GetParam().strip;
    tool.keep = GetParam().keep;
    EXPECT_EQ(MapArchivePath(tool, GetParam().entry), GetParam().mapped);
}

INSTANTIATE_TEST_SUITE_P(
    Strip, MapArchivePathTest,
    testing::Values(MapCase{"below_zero_keeps_the_name", "zip", -1, {}, "top/bin/x", "top/bin/x"},
                    MapCase{"zero_keeps_the_name", "zip", 0, {}, "top/bin/x", "top/bin/x"},
                    MapCase{"one", "tar.xz", 1, {}, "top/bin/clang.exe", "bin/clang.exe"},
                    MapCase{"two", "tar.xz", 2, {}, "top/bin/clang.exe", "clang.exe"},
                    MapCase{"the_top_folder", "zip", 1, {}, "top/", ""},
                    MapCase{"a_bare_name", "zip", 1, {}, "ninja.exe", ""},
                    MapCase{"more_than_there_are", "zip", 2, {}, "top/x", ""},
                    MapCase{"a_folder_entry", "zip", 0, {}, "top/bin/", ""},
                    MapCase{"a_bare_name_unstripped", "zip", 0, {}, "ninja.exe", "ninja.exe"}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Keep, MapArchivePathTest,
    testing::Values(
        MapCase{"star_in_a_name", "tar.xz", 1, kClangKeep, "t/bin/api-ms-win-core-file-l1-1-0.dll",
                "bin/api-ms-win-core-file-l1-1-0.dll"},
        MapCase{"star_never_takes_a_slash", "tar.xz", 1, kClangKeep, "t/bin/x/api-ms-win-a.dll", ""},
        MapCase{"folder_prefix", "tar.xz", 1, kClangKeep, "t/lib/clang/19/include/stddef.h",
                "lib/clang/19/include/stddef.h"},
        MapCase{"the_folder_prefix_without_its_slash", "tar.xz", 1, kClangKeep, "t/lib/clang", ""},
        MapCase{"exactly_one_file", "tar.xz", 1, kClangKeep, "t/bin/clang.exe", "bin/clang.exe"},
        MapCase{"not_a_longer_name", "tar.xz", 1, kClangKeep, "t/bin/clang.exe.bak", ""},
        MapCase{"not_a_neighbour", "tar.xz", 1, kClangKeep, "t/bin/clang-format.exe", ""},
        MapCase{"case_counts", "tar.xz", 1, kClangKeep, "t/BIN/clang.exe", ""},
        MapCase{"star_may_take_nothing", "tar.xz", 1, kClangKeep, "t/bin/msvcp140.dll", "bin/msvcp140.dll"},
        MapCase{"lone_star_at_the_top", "zip", 1, {"*"}, "t/a.txt", "a.txt"},
        MapCase{"lone_star_not_below", "zip", 1, {"*"}, "t/sub/a.txt", ""},
        MapCase{"zip_folders", "zip", 1, {"bin/", "share/"}, "cmake-3.31/share/cmake/x.cmake", "share/cmake/x.cmake"},
        MapCase{"zip_outside_the_folders", "zip", 1, {"bin/", "share/"}, "cmake-3.31/doc/x.txt", ""}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Vsix, MapArchivePathTest,
    testing::Values(MapCase{"below_contents", "vsix", 0, {}, "Contents/VC/x.h", "VC/x.h"},
                    MapCase{"percent_decoded", "vsix", 0, {}, "Contents/a%20b.h", "a b.h"},
                    MapCase{"decoded_before_the_test", "vsix", 0, {}, "Contents%2FVC/x.h", "VC/x.h"},
                    MapCase{"the_manifest", "vsix", 0, {}, "extension.vsixmanifest", ""},
                    MapCase{"the_content_types", "vsix", 0, {}, "[Content_Types].xml", ""},
                    MapCase{"contents_alone", "vsix", 0, {}, "Contents/", ""},
                    MapCase{"contents_in_lower_case", "vsix", 0, {}, "contents/VC/x.h", ""},
                    MapCase{"contents_without_its_slash", "vsix", 0, {}, "ContentsVC/x.h", ""},
                    MapCase{"then_stripped", "vsix", 1, {}, "Contents/VC/x.h", "x.h"},
                    MapCase{"then_kept", "vsix", 0, {"VC/"}, "Contents/Other/x.h", ""},
                    MapCase{"a_climb_is_left_to_the_extractor", "vsix", 0, {}, "Contents/%2e%2e/x", "../x"},
                    MapCase{"not_decoded_for_a_zip", "zip", 0, {}, "Contents/a%20b.h", "Contents/a%20b.h"}),
    test::CaseName());

struct PatternCase {
    const char* name;
    const char* pattern;
    const char* text;
    bool matches;
};

class MapArchivePathKeepTest : public testing::TestWithParam<PatternCase> {};

TEST_P(MapArchivePathKeepTest, Matches) {
    EXPECT_EQ(KeepPatternMatches(GetParam().pattern, GetParam().text), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(Patterns, MapArchivePathKeepTest,
                         testing::Values(PatternCase{"empty_takes_empty", "", "", true},
                                         PatternCase{"empty_takes_nothing_else", "", "a", false},
                                         PatternCase{"stars_take_empty", "**", "", true},
                                         PatternCase{"back_off_more_than_once", "*ab", "aaab", true},
                                         PatternCase{"back_off_then_fail", "*ab", "aaba", false},
                                         PatternCase{"two_stars", "a*b*c", "aXbYbZc", true},
                                         PatternCase{"star_stops_at_a_slash", "a*c", "ab/c", false},
                                         PatternCase{"stars_on_both_sides_of_a_slash", "*/*", "ab/cd", true},
                                         PatternCase{"a_star_in_the_name_is_a_character", "a*", "a*b", true},
                                         PatternCase{"prefix_is_bytes", "a*/", "a*/x", true},
                                         PatternCase{"prefix_takes_no_wildcard", "a*/", "ab/x", false}),
                         test::CaseName());

#ifndef _WIN32
// Apart from the folder prefixes, keep patterns are what fnmatch makes of them with FNM_PATHNAME.
TEST(MapArchivePathKeepAgainstFnmatchTest, AgreesOnRandomPatternsAndNames) {
    std::mt19937 random(16);
    const std::string alphabet = "ab./*";
    const auto make = [&](size_t longest) {
        std::string text(random() % (longest + 1), ' ');
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        return text;
    };
    int compared = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::string pattern = make(6);
        const std::string name = make(8);
        if (!pattern.empty() && pattern.back() == '/') continue;
        const bool expected = fnmatch(pattern.c_str(), name.c_str(), FNM_PATHNAME | FNM_NOESCAPE) == 0;
        ASSERT_EQ(KeepPatternMatches(pattern, name), expected) << "pattern " << pattern << ", name " << name;
        ++compared;
    }
    EXPECT_GT(compared, 100000);
}
#endif

}  // namespace
}  // namespace launcher
