#include "platform/quote_arg.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/case_name.h"

namespace launcher {
namespace {

struct QuoteCase {
    const char* name;
    std::wstring argument;
    std::wstring expected;
};

class QuoteArgTest : public testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteArgTest, QuotesSoTheRuntimeParserGivesTheArgumentBack) {
    EXPECT_EQ(ToUtf8(QuoteArg(GetParam().argument)), ToUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuoteArgTest,
    testing::Values(QuoteCase{"plain", L"commit", L"commit"}, QuoteCase{"empty", L"", L"\"\""},
                    QuoteCase{"blank", L"a b", L"\"a b\""}, QuoteCase{"tab", L"a\tb", L"\"a\tb\""},
                    QuoteCase{"quote", L"say \"hi\"", L"\"say \\\"hi\\\"\""}, QuoteCase{"lone_backslash", L"\\", L"\\"},
                    QuoteCase{"backslash_in_the_middle", L"C:\\my folder\\x", L"\"C:\\my folder\\x\""},
                    QuoteCase{"trailing_backslash", L"C:\\my folder\\", L"\"C:\\my folder\\\\\""},
                    QuoteCase{"backslashes_before_a_quote", L"a\\\\\"b c", L"\"a\\\\\\\\\\\"b c\""},
                    QuoteCase{"backslash_without_blank", L"C:\\dir\\", L"C:\\dir\\"}),
    test::CaseName());

}  // namespace
}  // namespace launcher
