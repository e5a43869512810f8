#pragma once
// The one reader for JSON texts that come from outside the program: the settings file, the tool
// list, answers from the web, package descriptions, caches. Such a text may be anything.

#include <nlohmann/json.hpp>
#include <string>

namespace launcher {

// Deeper than any real file of ours; a hand-edited or hostile text nested further would overflow
// the stack of whatever copies or prints the tree.
constexpr int kMaxOutsideJsonDepth = 256;

// Parses text into root without exceptions. False, leaving root as it was, when the text is not
// JSON or nests objects and arrays deeper than kMaxOutsideJsonDepth; no deep tree is ever built.
bool ParseOutsideJson(const std::string& text, nlohmann::json& root);

}  // namespace launcher
