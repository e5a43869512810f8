#include "platform/line_splitter.h"

#include <gtest/gtest.h>

#include "tests/support/case_name.h"

namespace launcher {
namespace {

struct SplitCase {
    const char* name;
    std::vector<std::string> pieces;  // as the reads bring them
    std::vector<std::string> lines;
};

class LineSplitterTest : public testing::TestWithParam<SplitCase> {};

TEST_P(LineSplitterTest, Splits) {
    std::vector<std::string> lines;
    const LineCallback onLine = [&lines](const std::string& line) { lines.push_back(line); };
    LineSplitter splitter(onLine);
    for (const std::string& piece : GetParam().pieces) splitter.Feed(piece.data(), piece.size());
    splitter.Finish();
    EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, LineSplitterTest,
    testing::Values(
        SplitCase{"crlf_and_blank_lines", {"a\r\n\r\nb"}, {"a", "b"}},
        SplitCase{"each_kind_of_line_end", {"one\rtwo\nthree\r\n"}, {"one", "two", "three"}},
        SplitCase{"no_final_line_end", {"first\nlast"}, {"first", "last"}},
        SplitCase{"a_line_over_several_reads", {"pro", "gress 1", "0\r", "\n[2/9] x"}, {"progress 10", "[2/9] x"}},
        SplitCase{"bytes_pass_unchanged", {std::string("\xE9t\xC3\xA9\0x\n", 7)}, {std::string("\xE9t\xC3\xA9\0x", 6)}},
        SplitCase{"nothing", {}, {}}, SplitCase{"only_line_ends", {"\r\n\n\r"}, {}},
        SplitCase{"a_long_line_keeps_its_first_64_KiB",
                  {std::string(40000, 'a'), std::string(40000, 'b') + "\nnext"},
                  {std::string(40000, 'a') + std::string(64 * 1024 - 40000, 'b'), "next"}},
        SplitCase{"a_line_of_exactly_64_KiB", {std::string(64 * 1024, 'c') + "\r\n"}, {std::string(64 * 1024, 'c')}},
        SplitCase{"a_long_last_line", {std::string(200000, 'd')}, {std::string(64 * 1024, 'd')}}),
    test::CaseName());

TEST(LineSplitterTest, AnEmptyCallbackDropsTheLines) {
    const LineCallback none;
    LineSplitter splitter(none);
    splitter.Feed("a\nb", 3);
    splitter.Finish();
}

}  // namespace
}  // namespace launcher
