#pragma once
// The game description: which game the launcher serves and where everything about its port lives.

#include <map>
#include <string>
#include <vector>

namespace launcher {

struct Game {
    std::string title;
    std::string shortName;  // the key "short"
    std::string exe;        // stem of the port's executable, without the executable suffix
    std::string xbe;
    std::map<std::string, std::string> releases;  // lower-case XBE SHA-1 -> region
    std::string repo;
    std::string branch;
    std::string version = "dev";  // the launcher's own version, never read from the text
    std::string toolchain;
    std::string package;
    std::map<std::string, std::string> packages;  // lower-case XBE SHA-1 -> package file name
    bool music = false;
    std::vector<std::string> xbes;
    std::vector<std::string> exes;
    std::map<std::string, std::vector<std::string>> releaseXbes;  // the key "release_xbes"
};

// The game comes as the port's prebuilt package (and the user's PC builds only the game's code)
// rather than being built from source.
inline bool InPackageMode(const Game& game) { return !game.package.empty() || !game.packages.empty(); }

// Parses a game description. A text that is not JSON leaves game untouched; a text without a
// title, short name, repository or releases leaves what was read. A value of the wrong JSON type
// throws the JSON library's type error.
bool ReadGame(const std::string& text, Game& game, std::string& error);

// The description compiled into the launcher.
const std::string& BuiltinGameText();

}  // namespace launcher
