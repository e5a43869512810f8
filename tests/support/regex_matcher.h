#pragma once
// A matcher for whole-text ECMAScript regular expressions: GoogleTest's own regular expressions are
// a small subset on Windows.

#include <gmock/gmock.h>

#include <regex>
#include <string>

namespace launcher::test {

MATCHER_P(FullyMatches, pattern, "matches the regular expression " + std::string(pattern)) {
    return std::regex_match(std::string(arg), std::regex(pattern));
}

}  // namespace launcher::test
