#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "tests/support/case_name.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace launcher {
namespace {

struct ComposeCase {
    const char* name;
    std::uint32_t code;
    std::string systemText;
    std::string expected;
};

class ComposeErrorTextTest : public testing::TestWithParam<ComposeCase> {};

TEST_P(ComposeErrorTextTest, Formats) {
    EXPECT_EQ(ComposeErrorText("Could not start the game", GetParam().code, GetParam().systemText),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComposeErrorTextTest,
    testing::Values(ComposeCase{"line_break_cut_full_stop_kept", 2, "The system cannot find the file specified.\r\n",
                                "Could not start the game (2: The system cannot find the file specified.)"},
                    ComposeCase{"trailing_blanks_cut", 5, "Access is denied.  \n ",
                                "Could not start the game (5: Access is denied.)"},
                    ComposeCase{"no_system_text", 12002, "", "Could not start the game (12002)"},
                    ComposeCase{"only_line_breaks", 7, "\r\n", "Could not start the game (7)"},
                    ComposeCase{"code_is_unsigned", 0x80070005u, "x", "Could not start the game (2147942405: x)"}),
    test::CaseName());

// A system code is worded as every failed system call is; the others by their category.
TEST(ErrorCodeTextTest, WordsBothCategories) {
    EXPECT_EQ(ErrorCodeText(std::error_code(5, std::system_category())), SystemErrorText(5));
    EXPECT_FALSE(SystemErrorText(5).empty());
    const std::error_code missing = std::make_error_code(std::errc::no_such_file_or_directory);
    EXPECT_EQ(ErrorCodeText(missing), missing.message());
    EXPECT_FALSE(missing.message().empty());
}

// The standard library hands over errno values (its generic category) on Windows too, where the
// system numbers its errors otherwise: EACCES (13) is "The data is invalid" there.
TEST(ErrorCodeTextTest, TakesEachCodeInItsOwnCategory) {
    EXPECT_EQ(ErrorCodeText(std::make_error_code(std::errc::permission_denied)), std::strerror(EACCES));
    const std::error_code system(EACCES, std::system_category());
    EXPECT_EQ(ErrorCodeText(system), SystemErrorText(EACCES));
}

#ifdef _WIN32

// The system's words differ between Windows and Wine: only the structure is compared.
void ExpectSystemTextFor(const std::string& text, const std::string& head) {
    ASSERT_GT(text.size(), head.size() + 1) << text;
    EXPECT_EQ(text.substr(0, head.size()), head) << text;
    EXPECT_EQ(text.back(), ')') << text;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text[text.size() - 2], ' ') << text;
}

TEST(Win32ErrorTextTest, AppendsTheCodeAndTheSystemText) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    ExpectSystemTextFor(Win32ErrorText("Could not start the game"), "Could not start the game (2: ");
}

TEST(Win32ErrorTextTest, CodeZeroStillGetsItsText) {
    SetLastError(0);
    ExpectSystemTextFor(Win32ErrorText("m"), "m (0: ");
}

TEST(Win32ErrorTextTest, ACodeWithoutSystemTextGetsOnlyTheCode) {
    SetLastError(0x20001234u);  // customer bit set: no system table has it
    EXPECT_EQ(Win32ErrorText("m"), "m (536875572)");
}

TEST(Win32ErrorTextTest, TheCapturedCodeWinsOverTheLastError) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    ExpectSystemTextFor(Win32ErrorText("m", ERROR_ACCESS_DENIED), "m (5: ");
}

#endif

}  // namespace
}  // namespace launcher
