#include "game/identify.h"

#include <fstream>
#include <limits>
#include <new>
#include <stdexcept>

#include "game/xiso.h"
#include "platform/sha.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

// The folder's entries as the file system lists them; a listing error ends the list.
std::vector<fs::path> ListFolder(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
    return entries;
}

// Every byte of a regular file, or false.
bool ReadWholeRegularFile(const fs::path& file, std::vector<std::uint8_t>& bytes) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return false;
    const std::uintmax_t size = fs::file_size(file, ec);
    // The disc's file system cannot hold a file of 4 GiB or more, so no XBE is that large.
    if (ec || size > std::numeric_limits<std::uint32_t>::max()) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::vector<std::uint8_t> data(size);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(size));
    if (static_cast<std::uintmax_t>(in.gcount()) != size || in.peek() != std::ifstream::traits_type::eof()) {
        return false;
    }
    bytes = std::move(data);
    return true;
}

bool ReadXbeBytes(const std::string& name, const GameSource& source, std::vector<std::uint8_t>& bytes,
                  std::string& error) {
    if (source.isImage) {
        XisoImage image;
        std::string openError;
        if (!image.Open(PathToWide(source.source), openError)) {
            error = openError;
            return false;
        }
        if (!image.ReadWholeFile(name, bytes)) {
            error = "the disc image has no " + name;
            return false;
        }
        return true;
    }
    fs::path file = source.source / Utf8Path(name);
    std::error_code ec;
    if (!fs::exists(file, ec)) {
        file.clear();
        const std::string wanted = AsciiLower(name);
        for (const fs::path& entry : ListFolder(source.source)) {
            if (AsciiLower(PathToUtf8(entry.filename())) == wanted) {
                file = entry;
                break;
            }
        }
    }
    // A folder named like the XBE, or a file that cannot be read to its end, is no XBE.
    if (file.empty() || !ReadWholeRegularFile(file, bytes)) {
        error = "there is no " + name + " in " + PathToUtf8(source.source);
        return false;
    }
    return true;
}

}  // namespace

bool ReadXbe(const std::string& name, const GameSource& source, std::vector<std::uint8_t>& bytes, std::string& error) {
    // A damaged entry or file may claim more than memory holds: that is no XBE either.
    try {
        return ReadXbeBytes(name, source, bytes, error);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    bytes.clear();
    error =
        source.isImage ? "the disc image has no " + name : "there is no " + name + " in " + PathToUtf8(source.source);
    return false;
}

bool ReadGameXbe(const Game& game, const GameSource& source, std::vector<std::uint8_t>& bytes, std::string& error) {
    return ReadXbe(game.xbe, source, bytes, error);
}

GameSource IdentifyGame(const Game& game, const fs::path& chosen) {
    GameSource result;
    std::error_code ec;
    fs::path path;
    if (!chosen.empty()) {
        path = fs::absolute(chosen, ec);
        if (ec) path = chosen;
    }

    if (!path.empty() && fs::is_directory(path, ec)) {
        result.source = path;
    } else if (AsciiLower(PathToUtf8(path.extension())) == ".iso") {
        result.source = path;
        result.isImage = true;
    } else if (!path.empty() && AsciiLower(PathToUtf8(path.filename())) == AsciiLower(game.xbe)) {
        result.source = path.parent_path();
    } else {
        result.error = "Choose the game's disc image (.iso), or the folder with its files (" + game.xbe + ").";
        return result;
    }

    std::vector<std::uint8_t> bytes;
    std::string text;
    if (!ReadXbe(game.xbe, result, bytes, text)) {
        result.error = result.isImage ? "This is not an Xbox disc image of " + game.title + ": " + text : text;
        return result;
    }

    Sha1Context sha1;
    Sha1Init(sha1);
    Sha1Update(sha1, bytes.data(), bytes.size());
    result.sha1 = Sha1Final(sha1);

    const auto release = game.releases.find(result.sha1);
    if (release == game.releases.end()) {
        result.error = "This copy's " + game.xbe + " is not one this port supports (SHA-1 " + result.sha1 +
                       "). It needs an unmodified disc of " + game.title + ".";
        return result;
    }
    if (!result.isImage && ListFolder(result.source).size() < 3) {
        result.error = "The folder holds " + game.xbe + " but not the rest of the disc's files.";
        return result;
    }
    result.region = release->second;
    result.ok = true;
    return result;
}

}  // namespace launcher
