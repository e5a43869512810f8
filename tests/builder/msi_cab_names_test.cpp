// The cabinet names found in an installer package's bytes: made-up byte runs, and packages made by
// wixl on the host (support/make_tool_fixtures.py), which both builds read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "builder/visual_studio.h"
#include "tests/support/case_name.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"

namespace launcher {
namespace {

using testing::ElementsAre;

constexpr char kDigits[] = "0123456789abcdef0123456789abcdef";
constexpr char kOther[] = "00000000000000000000000000000001";

std::string Cab(const std::string& digits) { return digits + ".cab"; }

struct BytesCase {
    std::string name;
    std::string bytes;
    std::vector<std::string> names;
};

std::vector<BytesCase> BytesCases() {
    std::string upper = kDigits;
    upper[10] = 'A';
    return {
        {"empty", "", {}},
        {"suffix_alone", ".cab", {}},
        {"at_byte_zero", Cab(kDigits) + "\x01\x02", {Cab(kDigits)}},
        {"suffix_as_the_last_bytes", std::string("\0\0\x05", 3) + Cab(kDigits), {Cab(kDigits)}},
        {"a_name_twice", "x" + Cab(kDigits) + "y" + Cab(kDigits), {Cab(kDigits)}},
        {"two_names_sorted", Cab(kDigits) + "|" + Cab(kOther), {Cab(kOther), Cab(kDigits)}},
        {"back_to_back", Cab(kOther) + Cab(kDigits), {Cab(kOther), Cab(kDigits)}},
        {"thirty_three_digits_give_the_last_32", "f" + Cab(kDigits), {Cab(kDigits)}},
        {"thirty_one_digits", Cab(std::string(kDigits).substr(1)), {}},
        {"an_upper_case_digit", Cab(upper), {}},
        {"an_upper_case_suffix", std::string(kDigits) + ".CAB", {}},
        {"a_blank_among_the_digits", Cab(std::string(kDigits).replace(31, 1, " ")), {}},
        {"a_nul_among_the_digits", Cab(std::string(kDigits).replace(0, 1, std::string(1, '\0'))), {}},
        {"suffix_cut_short", std::string(kDigits) + ".ca", {}},
    };
}

class MsiCabNamesTest : public testing::TestWithParam<BytesCase> {};

TEST_P(MsiCabNamesTest, FindsTheNames) {
    EXPECT_EQ(MsiCabNames(GetParam().bytes), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(Bytes, MsiCabNamesTest, testing::ValuesIn(BytesCases()), test::CaseName());

// The fixture's cabinets: one named by kit-a alone, one by both packages, one by neither.
constexpr char kCabA[] = "2630bae9681db6a9f6722366f47d055c.cab";
constexpr char kCabShared[] = "e10768bb6e9d0ea730280336b697da66.cab";
constexpr char kCabStray[] = "f9b24c8280986c0683fbceca5326d806.cab";

std::string FixtureBytes(const std::string& name) {
    return test::ReadFile(test::LoopbackFolder() / "site" / "tool-fixtures" / name);
}

TEST_F(MsiCabNamesTest, PackagesMadeByWixlNameTheirOuterCabinets) {
    const std::string kitA = FixtureBytes("kit-a.msi");
    const std::string kitB = FixtureBytes("kit-b.msi");
    ASSERT_FALSE(kitA.empty());
    ASSERT_FALSE(kitB.empty());
    EXPECT_THAT(MsiCabNames(kitA), ElementsAre(kCabA, kCabShared));
    EXPECT_THAT(MsiCabNames(kitB), ElementsAre(kCabShared));
    // The stray cabinet is there to be served, and no package names it.
    EXPECT_FALSE(FixtureBytes(kCabStray).empty());
    EXPECT_EQ(kitA.find(kCabStray), std::string::npos);
    EXPECT_EQ(kitB.find(kCabStray), std::string::npos);
}

}  // namespace
}  // namespace launcher
