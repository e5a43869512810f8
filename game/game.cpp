#include "game/game.h"

#include <nlohmann/json.hpp>

#include "platform/text.h"

namespace launcher {
namespace {

// Members are read in the order of the text, so that of two keys that differ only in case the
// later one wins.
using Json = nlohmann::ordered_json;

std::vector<std::string> ListOr(const Json& root, const char* key, const std::string& fallback) {
    std::vector<std::string> list = root.value(key, std::vector<std::string>{fallback});
    if (list.empty()) list.push_back(fallback);
    return list;
}

// The members of an object; anything else is a value of the wrong type, which raises the JSON
// library's type error.
const Json::object_t& Members(const Json& value) { return value.get_ref<const Json::object_t&>(); }

}  // namespace

bool ReadGame(const std::string& text, Game& game, std::string& error) {
    const Json root = Json::parse(text, nullptr, false, false);
    if (root.is_discarded()) {
        error = "game.json is not readable";
        return false;
    }
    game.title = root.value("title", std::string());
    game.shortName = root.value("short", std::string());
    game.exe = root.value("exe", game.shortName);
    game.xbe = root.value("xbe", std::string("default.xbe"));
    game.repo = root.value("repo", std::string());
    game.branch = root.value("branch", std::string("main"));
    game.toolchain = root.value("toolchain", std::string());
    game.music = root.value("music", false);
    game.package = root.value("package", std::string());

    if (const auto it = root.find("packages"); it != root.end() && it->is_object()) {
        for (const auto& [key, value] : it->items()) game.packages[AsciiLower(key)] = value.get<std::string>();
    }
    game.xbes = ListOr(root, "xbes", game.xbe);
    game.exes = ListOr(root, "exes", game.exe);
    if (const auto it = root.find("releases"); it != root.end()) {
        for (const auto& [key, value] : Members(*it)) game.releases[AsciiLower(key)] = value.get<std::string>();
    }
    if (const auto it = root.find("release_xbes"); it != root.end()) {
        for (const auto& [key, value] : Members(*it)) {
            game.releaseXbes[AsciiLower(key)] = value.get<std::vector<std::string>>();
        }
    }

    if (game.title.empty() || game.shortName.empty() || game.repo.empty() || game.releases.empty()) {
        error = "game.json needs a title, a short name, a repo and its releases";
        return false;
    }
    return true;
}

}  // namespace launcher
