#include "builder/toolchain.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/support/case_name.h"

namespace launcher {
namespace {

using Json = nlohmann::json;
using testing::ElementsAre;
using testing::IsEmpty;

constexpr char kDigest[] = "0c4baa40f28b3f8225eb3fdf6946c987b4fe901403b4eaf2fbbd9378100aaa0c";
constexpr char kNotReadable[] = "toolchain.json is not readable";

Json GoodTool(const std::string& id) {
    return {{"id", id}, {"url", "https://example.com/d/" + id + ".zip"}, {"sha256", kDigest}};
}

Json ToolWith(const char* key, Json value) {
    Json tool = GoodTool("t");
    tool[key] = std::move(value);
    return tool;
}

Json ToolWithout(const char* key) {
    Json tool = GoodTool("t");
    tool.erase(key);
    return tool;
}

// A list whose first tool is good, so that a case shows whether the tools before a bad one stay.
std::string AfterAGoodTool(const Json& tool) {
    return Json{{"tools", Json::array({GoodTool("first"), tool})}}.dump();
}

std::string Unsafe(const std::string& id) { return "toolchain.json: tool " + id + " has an unsafe id or file name"; }

std::string Incomplete(const std::string& id) {
    return "toolchain.json: tool " + id + " needs an id, a url and a sha256";
}

std::string ListOf(const std::vector<Json>& tools) { return Json{{"tools", tools}}.dump(); }

std::string Twice(const std::string& id) { return "toolchain.json: tool " + id + " appears twice"; }

std::string NotHttps(const std::string& id) { return "toolchain.json: tool " + id + " needs an https address"; }

struct ListCase {
    ListCase(std::string name, std::string text, std::string error, size_t tools = 0, std::string fileName = "")
        : name(std::move(name)), text(std::move(text)), error(std::move(error)), tools(tools),
          fileName(std::move(fileName)) {}

    std::string name;
    std::string text;
    std::string error;     // "" when the text reads
    size_t tools;          // the tools in the list afterwards
    std::string fileName;  // when not "", the last tool's file name
};

std::vector<ListCase> ListCases() {
    return {
        // Not a list at all.
        {"not_json", "{\"tools\": [", kNotReadable},
        {"root_array", "[{\"tools\": []}]", kNotReadable},
        {"root_text", "\"tools\"", kNotReadable},
        {"no_tools", R"({"msvc": {}, "sdk": {}})", kNotReadable},
        {"comment", "{\"tools\": [] /* none */}", kNotReadable},
        {"empty_tools", R"({"tools": []})", "", 0},
        // Wrong shapes: nothing is appended, and nothing throws.
        {"tools_object", R"({"tools": {"id": "t"}})", kNotReadable},
        {"tool_not_object", AfterAGoodTool(3), kNotReadable},
        {"tool_array", AfterAGoodTool(Json::array({"t"})), kNotReadable},
        {"id_number", AfterAGoodTool(ToolWith("id", 7)), kNotReadable},
        {"title_number", AfterAGoodTool(ToolWith("title", 1.5)), kNotReadable},
        {"kind_null", AfterAGoodTool(ToolWith("kind", nullptr)), kNotReadable},
        {"url_array", AfterAGoodTool(ToolWith("url", Json::array({"https://example.com/t.zip"}))), kNotReadable},
        {"sha256_number", AfterAGoodTool(ToolWith("sha256", 12)), kNotReadable},
        {"strip_text", AfterAGoodTool(ToolWith("strip", "1")), kNotReadable},
        {"strip_fraction", AfterAGoodTool(ToolWith("strip", 1.5)), kNotReadable},
        {"strip_past_32_bits", AfterAGoodTool(ToolWith("strip", 2147483648u)), kNotReadable},
        {"strip_below_32_bits", AfterAGoodTool(ToolWith("strip", -2147483649ll)), kNotReadable},
        {"size_negative", AfterAGoodTool(ToolWith("size", -1)), kNotReadable},
        {"size_fraction", AfterAGoodTool(ToolWith("size", 2.5)), kNotReadable},
        {"size_text", AfterAGoodTool(ToolWith("size", "100")), kNotReadable},
        {"optional_number", AfterAGoodTool(ToolWith("optional", 1)), kNotReadable},
        {"keep_text", AfterAGoodTool(ToolWith("keep", "bin/")), kNotReadable},
        {"keep_entry_number", AfterAGoodTool(ToolWith("keep", Json::array({"bin/", 2}))), kNotReadable},
        {"strip_largest", AfterAGoodTool(ToolWith("strip", 2147483647)), "", 2},
        {"strip_smallest", AfterAGoodTool(ToolWith("strip", -2147483648ll)), "", 2},
        {"unknown_key_of_any_type", AfterAGoodTool(ToolWith("homepage", 5)), "", 2},
        // The list's own test: the tools before stay.
        {"empty_id", AfterAGoodTool(ToolWith("id", "")), Incomplete(""), 1},
        {"no_id", AfterAGoodTool(ToolWithout("id")), Incomplete(""), 1},
        {"no_url", AfterAGoodTool(ToolWithout("url")), Incomplete("t"), 1},
        {"no_sha256", AfterAGoodTool(ToolWithout("sha256")), Incomplete("t"), 1},
        {"sha256_of_63", AfterAGoodTool(ToolWith("sha256", std::string(kDigest).substr(1))), Incomplete("t"), 1},
        {"sha256_of_65", AfterAGoodTool(ToolWith("sha256", std::string(kDigest) + "0")), Incomplete("t"), 1},
        {"sha256_not_hex_is_not_tested", AfterAGoodTool(ToolWith("sha256", std::string(64, 'z'))), "", 2},
        // Ids and file names that would lead out of their folders.
        {"id_dot_dot", AfterAGoodTool(ToolWith("id", "..")), Unsafe(".."), 1},
        {"id_dot", AfterAGoodTool(ToolWith("id", ".")), Unsafe("."), 1},
        {"id_slash", AfterAGoodTool(ToolWith("id", "a/b")), Unsafe("a/b"), 1},
        {"id_backslash", AfterAGoodTool(ToolWith("id", "a\\b")), Unsafe("a\\b"), 1},
        {"id_drive", AfterAGoodTool(ToolWith("id", "C:x")), Unsafe("C:x"), 1},
        {"id_device", AfterAGoodTool(ToolWith("id", "nul")), Unsafe("nul"), 1},
        {"id_trailing_dot", AfterAGoodTool(ToolWith("id", "x.")), Unsafe("x."), 1},
        {"id_trailing_blank", AfterAGoodTool(ToolWith("id", "x ")), Unsafe("x "), 1},
        {"id_tab", AfterAGoodTool(ToolWith("id", "a\tb")), Unsafe("a\tb"), 1},
        {"id_not_ascii", AfterAGoodTool(ToolWith("id", "gr\xC3\xBCn")), Unsafe("gr\xC3\xBCn"), 1},
        {"name_dot_dot", AfterAGoodTool(ToolWith("url", "https://example.com/d/%2e%2e")), Unsafe("t"), 1},
        {"name_slash", AfterAGoodTool(ToolWith("url", "https://example.com/d/a%2Fb")), Unsafe("t"), 1},
        {"name_backslash", AfterAGoodTool(ToolWith("url", "https://example.com/d/a%5Cb")), Unsafe("t"), 1},
        {"name_byte_ff", AfterAGoodTool(ToolWith("url", "https://example.com/d/%FF")), Unsafe("t"), 1},
        {"name_empty", AfterAGoodTool(ToolWith("url", "https://example.com/d/")), Unsafe("t"), 1},
        {"name_device", AfterAGoodTool(ToolWith("url", "https://example.com/d/NUL.zip")), Unsafe("t"), 1},
        // File names: the url's last part, percent-decoded.
        {"name_plus_encoded",
         AfterAGoodTool(ToolWith("url", "https://example.com/r/clang%2Bllvm-19.1.7.tar.xz")), "", 2,
         "clang+llvm-19.1.7.tar.xz"},
        {"name_both_cases", AfterAGoodTool(ToolWith("url", "https://example.com/%4a%4B+%20x.zip")), "", 2, "JK+ x.zip"},
        {"name_percent_one_digit_at_end", AfterAGoodTool(ToolWith("url", "https://example.com/x%4")), "", 2, "x%4"},
        {"name_percent_no_digits", AfterAGoodTool(ToolWith("url", "https://example.com/x%zz")), "", 2, "x%zz"},
        {"name_percent_at_end", AfterAGoodTool(ToolWith("url", "https://example.com/x%")), "", 2, "x%"},
        // One folder per tool: an id comes once, in any case, and not as one of the Visual Studio part's.
        {"id_twice", ListOf({GoodTool("first"), GoodTool("a"), GoodTool("a")}), Twice("a"), 2},
        {"id_twice_in_another_case", ListOf({GoodTool("first"), GoodTool("Git"), GoodTool("git")}), Twice("git"), 2},
        {"id_of_the_first_again", ListOf({GoodTool("first"), GoodTool("FIRST")}), Twice("FIRST"), 1},
        {"id_msvc", AfterAGoodTool(GoodTool("msvc")), Twice("msvc"), 1},
        {"id_winsdk_in_capitals", AfterAGoodTool(GoodTool("WinSDK")), Twice("WinSDK"), 1},
        {"ids_that_differ_by_a_letter", ListOf({GoodTool("first"), GoodTool("git"), GoodTool("gitk")}), "", 3},
        // Only https: what is downloaded is unpacked and run.
        {"url_http", AfterAGoodTool(ToolWith("url", "http://example.com/d/t.zip")), NotHttps("t"), 1},
        {"url_ftp", AfterAGoodTool(ToolWith("url", "ftp://example.com/d/t.zip")), NotHttps("t"), 1},
        {"url_file", AfterAGoodTool(ToolWith("url", "file:///C:/t.zip")), NotHttps("t"), 1},
        {"url_no_scheme", AfterAGoodTool(ToolWith("url", "example.com/d/t.zip")), NotHttps("t"), 1},
        {"url_scheme_relative", AfterAGoodTool(ToolWith("url", "//example.com/d/t.zip")), NotHttps("t"), 1},
        {"url_one_slash", AfterAGoodTool(ToolWith("url", "https:/example.com/d/t.zip")), NotHttps("t"), 1},
        {"url_leading_blank", AfterAGoodTool(ToolWith("url", " https://example.com/d/t.zip")), NotHttps("t"), 1},
        {"url_longer_scheme", AfterAGoodTool(ToolWith("url", "httpss://example.com/d/t.zip")), NotHttps("t"), 1},
        {"url_bare_name", AfterAGoodTool(ToolWith("url", "kit.zip")), NotHttps("t"), 1},
        {"url_scheme_in_capitals", AfterAGoodTool(ToolWith("url", "HTTPS://example.com/d/kit.zip")), "", 2, "kit.zip"},
        {"url_scheme_mixed_case", AfterAGoodTool(ToolWith("url", "hTtPs://example.com/d/kit.zip")), "", 2, "kit.zip"},
    };
}

class ReadToolchainTest : public testing::TestWithParam<ListCase> {
protected:
    Toolchain toolchain;
    std::string error = "before";
};

TEST_P(ReadToolchainTest, ReadsOrSaysWhy) {
    const ListCase& list = GetParam();
    bool ok = false;
    EXPECT_NO_THROW(ok = ReadToolchain(list.text, toolchain, error));
    EXPECT_EQ(ok, list.error.empty());
    EXPECT_EQ(error, list.error.empty() ? "before" : list.error);
    ASSERT_EQ(toolchain.tools.size(), list.tools);
    if (list.tools > 0) {
        EXPECT_EQ(toolchain.tools.front().id, "first");
    }
    if (!list.fileName.empty()) {
        EXPECT_EQ(toolchain.tools.back().files.at(0).name, list.fileName);
    }
    EXPECT_TRUE(toolchain.sdkVersion.empty());
}

INSTANTIATE_TEST_SUITE_P(Lists, ReadToolchainTest, testing::ValuesIn(ListCases()), test::CaseName());

TEST_F(ReadToolchainTest, MissingKeysTakeTheirDefaults) {
    const std::string text = R"({"tools": [{"id": "ninja", "url": "https://example.com/v1/ninja-win.zip",
                                            "sha256": ")" + std::string(kDigest) + "\"}]}";
    ASSERT_TRUE(ReadToolchain(text, toolchain, error)) << error;
    ASSERT_EQ(toolchain.tools.size(), 1u);
    const Tool& tool = toolchain.tools[0];
    EXPECT_EQ(tool.id, "ninja");
    EXPECT_EQ(tool.title, "ninja");
    EXPECT_EQ(tool.kind, "zip");
    EXPECT_EQ(tool.strip, 0);
    EXPECT_FALSE(tool.optional);
    EXPECT_THAT(tool.keep, IsEmpty());
    EXPECT_EQ(tool.stamp, std::string(kDigest) + " zip 0");
    EXPECT_THAT(tool.cabs, IsEmpty());
    ASSERT_EQ(tool.files.size(), 1u);
    EXPECT_EQ(tool.files[0].name, "ninja-win.zip");
    EXPECT_EQ(tool.files[0].url, "https://example.com/v1/ninja-win.zip");
    EXPECT_EQ(tool.files[0].sha256, kDigest);
    EXPECT_EQ(tool.files[0].size, 0u);
    EXPECT_EQ(tool.DownloadSize(), 0u);
}

TEST_F(ReadToolchainTest, EveryKeyIsReadAndTheDigestIsLowerCased) {
    const std::string upper = "0C4BAA40F28B3F8225EB3FDF6946C987B4FE901403B4EAF2FBBD9378100AAA0C";
    Json tool = {{"id", "llvm"},     {"title", "Clang 19"},  {"kind", "tar.xz"},
                 {"strip", 2},       {"optional", true},     {"keep", {"bin/clang.exe", "lib/*.a", "lib/clang/"}},
                 {"url", "https://example.com/kit.tar"}, {"sha256", upper}, {"size", 6000000000ull}};
    ASSERT_TRUE(ReadToolchain(Json{{"tools", Json::array({tool})}}.dump(), toolchain, error)) << error;
    ASSERT_EQ(toolchain.tools.size(), 1u);
    const Tool& read = toolchain.tools[0];
    EXPECT_EQ(read.title, "Clang 19");
    EXPECT_EQ(read.kind, "tar.xz");
    EXPECT_EQ(read.strip, 2);
    EXPECT_TRUE(read.optional);
    EXPECT_THAT(read.keep, ElementsAre("bin/clang.exe", "lib/*.a", "lib/clang/"));
    EXPECT_EQ(read.files.at(0).sha256, kDigest);
    EXPECT_EQ(read.stamp, std::string(kDigest) + " tar.xz 2 bin/clang.exe lib/*.a lib/clang/");
    EXPECT_EQ(read.files.at(0).size, 6000000000ull);
    EXPECT_EQ(read.DownloadSize(), 6000000000ull);
}

TEST_F(ReadToolchainTest, ToolsAreAppendedToWhatTheListHeld) {
    toolchain.tools.emplace_back().id = "earlier";
    const std::string text = Json{{"tools", {GoodTool("a"), GoodTool("b")}}}.dump();
    ASSERT_TRUE(ReadToolchain(text, toolchain, error)) << error;
    ASSERT_EQ(toolchain.tools.size(), 3u);
    EXPECT_EQ(toolchain.tools[0].id, "earlier");
    EXPECT_EQ(toolchain.tools[1].id, "a");
    EXPECT_EQ(toolchain.tools[2].id, "b");
}

TEST(ToolTest, TheDownloadSizeCountsFilesAndCabinets) {
    Tool tool;
    tool.files.resize(2);
    tool.files[0].size = 1000;
    tool.files[1].size = 20;
    tool.cabs.emplace_back().size = 5000000000ull;
    EXPECT_EQ(tool.DownloadSize(), 5000001020ull);
}

struct DecodeCase {
    const char* name;
    std::string text;
    std::string decoded;
};

class PercentDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(PercentDecodeTest, Decodes) { EXPECT_EQ(PercentDecode(GetParam().text), GetParam().decoded); }

INSTANTIATE_TEST_SUITE_P(
    Cases, PercentDecodeTest,
    testing::Values(DecodeCase{"plain", "a+b c", "a+b c"}, DecodeCase{"upper_and_lower", "%2B%2b", "++"},
                    DecodeCase{"blank", "Contents/My%20File.h", "Contents/My File.h"},
                    DecodeCase{"nul_byte", "a%00b", std::string("a\0b", 3)},
                    DecodeCase{"high_byte", "%C3%BC", "\xC3\xBC"},
                    DecodeCase{"percent_encoded_percent", "%2541", "%41"},
                    DecodeCase{"one_digit_then_end", "x%4", "x%4"}, DecodeCase{"no_digits", "x%zz", "x%zz"},
                    DecodeCase{"second_not_a_digit", "%4g", "%4g"}, DecodeCase{"lone_percent", "%", "%"},
                    DecodeCase{"percent_then_valid", "%%41", "%A"}),
    test::CaseName());

}  // namespace
}  // namespace launcher
