// The user's own XBEs, read from the chosen copy, in the checkout's assets folder where the port's
// build expects them.
#include <algorithm>
#include <fstream>

#include "builder/archive_path.h"
#include "builder/builder.h"
#include "game/identify.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

bool HoldsBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    std::string text;
    if (!fs::is_regular_file(file, ec) || !LoadFile(file, text)) return false;
    return text.size() == bytes.size() &&
           std::equal(bytes.begin(), bytes.end(), text.begin(),
                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

bool WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

}  // namespace

bool Builder::WriteXbe(std::string& error) {
    const fs::path chosen = ChosenGamePath();
    if (chosen.empty()) {
        error = "Choose the game first.";
        return false;
    }
    const GameSource copy = IdentifyGame(game, chosen);
    if (!copy.ok) {
        error = copy.error;
        return false;
    }
    const auto listed = game.releaseXbes.find(copy.sha1);
    const std::vector<std::string>& names = listed != game.releaseXbes.end() ? listed->second : game.xbes;
    const fs::path assets = baseFolder / "source" / "assets";
    for (const std::string& name : names) {
        std::vector<std::uint8_t> bytes;
        if (!ReadXbe(name, copy, bytes, error)) return false;
        // The names are the disc's, where '\' separates folders on every platform.
        const fs::path destination = JoinPath(assets, name);
        std::error_code ignored;
        fs::create_directories(destination.parent_path(), ignored);
        if (HoldsBytes(destination, bytes)) continue;
        if (!WriteBytes(destination, bytes)) {
            error = "Could not write " + PathToUtf8(destination);
            return false;
        }
        Log("xbe written to " + PathToUtf8(destination));
    }
    return true;
}

}  // namespace launcher
