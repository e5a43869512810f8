#include "platform/text.h"

#include <gtest/gtest.h>

#include <system_error>

#include "tests/support/case_name.h"

namespace launcher {
namespace {

struct TextCase {
    const char* name;
    std::string utf8;
    std::wstring wide;
};

class ConversionTest : public testing::TestWithParam<TextCase> {};

TEST_P(ConversionTest, ConvertsBothWays) {
    EXPECT_EQ(ToWide(GetParam().utf8), GetParam().wide);
    EXPECT_EQ(ToUtf8(GetParam().wide), GetParam().utf8);
}

TEST_P(ConversionTest, PathHoldsTheSameText) {
    EXPECT_EQ(PathToUtf8(Utf8Path(GetParam().utf8)), GetParam().utf8);
    EXPECT_EQ(PathToUtf8(WidePath(GetParam().wide)), GetParam().utf8);
#ifdef _WIN32
    EXPECT_EQ(Utf8Path(GetParam().utf8).wstring(), GetParam().wide);
#endif
}

INSTANTIATE_TEST_SUITE_P(Cases, ConversionTest,
                         testing::Values(TextCase{"empty", "", L""}, TextCase{"ascii", "Velmora2", L"Velmora2"},
                                         TextCase{"two_byte", "M\xC3\xBCnchen", L"M\u00FCnchen"},
                                         TextCase{"three_byte", "\xE6\x97\xA5\xE6\x9C\xAC", L"\u65E5\u672C"},
                                         // Beyond the basic plane: a surrogate pair in UTF-16.
                                         TextCase{"four_byte", "\xF0\x9F\x8E\xB5 song", L"\U0001F3B5 song"}),
                         test::CaseName());

TEST(ToWideTest, ReplacesAStrayContinuationByte) { EXPECT_EQ(ToWide("a\x80z"), std::wstring(L"a\uFFFDz")); }

struct BadCase {
    const char* name;
    std::string utf8;
};

class Utf8PathRejects : public testing::TestWithParam<BadCase> {};

TEST_P(Utf8PathRejects, IllFormedText) { EXPECT_THROW(Utf8Path(GetParam().utf8), std::system_error); }

INSTANTIATE_TEST_SUITE_P(Cases, Utf8PathRejects,
                         testing::Values(BadCase{"stray_continuation", "dir/\x80.txt"},
                                         BadCase{"overlong_slash", "a\xC0\xAF"}, BadCase{"surrogate", "a\xED\xA0\x80"},
                                         BadCase{"truncated", "song\xE6\x97"},
                                         BadCase{"beyond_unicode", "\xF4\x90\x80\x80"},
                                         BadCase{"invalid_byte", "\xFF"}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
