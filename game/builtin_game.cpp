#include "game/game.h"

namespace launcher {

const std::string& BuiltinGameText() {
    static const std::string text = R"json({
    "title": "Velmora",
    "short": "Velmora2",
    "exe": "Velmora2",
    "xbe": "default.xbe",
    "releases": {
        "3117c958b9637dacaa3ac2b79b088eb2a9a2e672": "Europe"
    },
    "repo": "https://github.com/quenforge/tarnwick.git",
    "branch": "main",
    "toolchain": "https://raw.githubusercontent.com/quenforge/tarnwick/main/launcher/toolchain.json",
    "package": "Velmora2-package.zip"
})json";
    return text;
}

}  // namespace launcher
