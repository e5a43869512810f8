#include "platform/outside_json.h"

#include <gtest/gtest.h>

#include "tests/support/case_name.h"
#include "tests/support/deep_json.h"

namespace launcher {
namespace {

using Json = nlohmann::json;
using test::NestedArrays;

// Objects nested depth levels deep: {"a": {"a": ... {} ... }}.
std::string NestedObjects(size_t depth) {
    std::string text;
    for (size_t i = 1; i < depth; ++i) text += "{\"a\": ";
    return text + "{}" + std::string(depth - 1, '}');
}

struct OutsideCase {
    const char* name;
    std::string text;
    bool readable;
};

class OutsideJsonTest : public testing::TestWithParam<OutsideCase> {};

TEST_P(OutsideJsonTest, ReadsWhatIsJsonAndNotTooDeep) {
    Json root = "before";
    EXPECT_EQ(ParseOutsideJson(GetParam().text, root), GetParam().readable);
    if (GetParam().readable) {
        EXPECT_EQ(root, Json::parse(GetParam().text));
    } else {
        EXPECT_EQ(root, "before");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, OutsideJsonTest,
    testing::Values(OutsideCase{"an_object", R"({"game": "/g", "list": [1, {"x": null}]})", true},
                    OutsideCase{"a_number", "42", true}, OutsideCase{"not_json", "{\"game\": ", false},
                    OutsideCase{"empty", "", false}, OutsideCase{"a_comment", "// mine\n{}", false},
                    OutsideCase{"text_after_the_value", "{} {}", false},
                    OutsideCase{"bad_utf8_in_a_string", "{\"a\": \"\xC3\"}", false},
                    OutsideCase{"arrays_at_the_limit", NestedArrays(kMaxOutsideJsonDepth), true},
                    OutsideCase{"arrays_one_past_the_limit", NestedArrays(kMaxOutsideJsonDepth + 1), false},
                    OutsideCase{"objects_at_the_limit", NestedObjects(kMaxOutsideJsonDepth), true},
                    OutsideCase{"objects_one_past_the_limit", NestedObjects(kMaxOutsideJsonDepth + 1), false},
                    OutsideCase{"a_deep_member_of_a_small_object",
                                "{\"game\": \"/g\", \"zeta\": " + NestedArrays(100000) + "}", false},
                    OutsideCase{"deep_then_broken", NestedArrays(100000) + "]", false}),
    test::CaseName());

}  // namespace
}  // namespace launcher
