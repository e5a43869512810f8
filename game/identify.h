#pragma once
// Identifying the user's copy of the game: a disc image, a folder of the disc's files, or the XBE in
// such a folder, known by the SHA-1 of its XBE.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "game/game.h"

namespace launcher {

struct GameSource {
    bool ok = false;               // identified and, for a folder, complete
    bool isImage = false;          // source is a disc image file, not a folder
    std::string region;            // of the identified release; empty unless ok
    std::string sha1;              // of the XBE, lower-case hex; empty until it was read
    std::string error;             // for the user, when not ok
    std::filesystem::path source;  // absolute; empty when the chosen path was not classified
};

GameSource IdentifyGame(const Game& game, const std::filesystem::path& chosen);

// The whole file `name` out of the image or the folder that source names.
bool ReadXbe(const std::string& name, const GameSource& source, std::vector<std::uint8_t>& bytes, std::string& error);
bool ReadGameXbe(const Game& game, const GameSource& source, std::vector<std::uint8_t>& bytes, std::string& error);

}  // namespace launcher
