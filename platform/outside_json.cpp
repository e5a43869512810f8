#include "platform/outside_json.h"

namespace launcher {

bool ParseOutsideJson(const std::string& text, nlohmann::json& root) {
    using Json = nlohmann::json;
    // The parser keeps its own stack, so only what is built from its result could recurse: a value
    // past the limit is dropped as soon as it starts, and the whole text then counts as unreadable.
    bool tooDeep = false;
    const Json::parser_callback_t limitDepth = [&tooDeep](int depth, Json::parse_event_t event, Json&) {
        const bool opens = event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start;
        if (opens && depth >= kMaxOutsideJsonDepth) tooDeep = true;
        return !tooDeep;
    };
    Json parsed = Json::parse(text, limitDepth, false, false);
    if (tooDeep || parsed.is_discarded()) return false;
    root = std::move(parsed);
    return true;
}

}  // namespace launcher
