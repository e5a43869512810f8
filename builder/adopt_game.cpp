// Adopting the user's chosen copy: play/assets becomes the copy (in place, a link to the user's
// folder, a hard link to the image or a copy of it), and launcher.json records the choice.
// play/assets may lead into the user's own files: nothing here removes recursively, and nothing is
// removed inside play/assets unless it is a real folder of the launcher's.
#include <cstdint>
#include <fstream>
#include <limits>
#include <vector>

#include "builder/builder.h"
#include "game/identify.h"
#include "platform/file_tree.h"
#include "platform/move_file.h"
#include "platform/same_file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr std::size_t kCopyBlock = 8u << 20;

bool IsImageName(const fs::path& path) { return AsciiLower(PathToUtf8(path.extension())) == ".iso"; }

// Removes the disc images directly inside folder, one by one, except keep (when given).
void RemoveImagesInside(const fs::path& folder, const fs::path* keep) {
    std::error_code ec;
    std::vector<fs::path> images;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (IsImageName(it->path())) images.push_back(it->path());
    }
    for (const fs::path& image : images) {
        if (keep && SameFile(image, *keep)) continue;
        fs::remove(image, ec);
    }
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// Clears the way for a new play/assets: a link or an empty folder goes as itself; a folder of the
// launcher's loses its images first. Anything else stays, and the user is asked to clear it.
bool ClearAssets(const fs::path& assets, std::string& error) {
    if (!Exists(assets)) return true;
    std::error_code ec;
    fs::remove(assets, ec);
    if (ec) {
        // A link that could not be removed must never be emptied: behind it lie the user's files.
        if (IsRealFolder(assets)) RemoveImagesInside(assets, nullptr);
        fs::remove(assets, ec);
    }
    if (!Exists(assets)) return true;
    error = "Cannot replace " + PathToUtf8(assets) + ": remove it by hand and choose the game again.";
    return false;
}

// The copy goes to a name of its own and takes the image's name only once it is complete, so a
// copy cut short (a crash, a killed window) is never taken for the user's disc. Its ".iso" ending
// lets the next adoption clear it away.
bool CopyImage(Builder& builder, const fs::path& source, const fs::path& destination, std::string& error) {
    builder.Log("copying " + PathToUtf8(source) + " to " + PathToUtf8(destination));
    fs::path partial = destination.parent_path() / source.stem();
    partial += ".partial.iso";

    bool complete = false;
    {
        std::vector<char> buffer(kCopyBlock);
        std::ifstream in(source, std::ios::binary);
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        std::error_code ec;
        std::uint64_t total = fs::file_size(source, ec);
        if (ec) total = std::numeric_limits<std::uint64_t>::max();
        std::uint64_t done = 0;
        while (in && out) {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const std::streamsize got = in.gcount();
            out.write(buffer.data(), got);
            done += static_cast<std::uint64_t>(got);
            builder.Report("Copying the disc image", FormatSize(done) + " of " + FormatSize(total),
                           total == 0 ? -1.0 : static_cast<double>(done) / static_cast<double>(total));
            if (builder.cancel) break;
        }
        // The last bytes leave the stream's buffer only at the close, and can fail there.
        out.close();
        complete = !out.fail() && done == total;
    }

    std::string systemText;
    if (complete && MoveFileReplacing(partial, destination, systemText)) return true;
    std::error_code ec;
    fs::remove(partial, ec);
    error = builder.cancel ? "cancelled" : "Could not copy the disc image (is the drive full?)";
    return false;
}

}  // namespace

bool Builder::AdoptGame(const GameSource& chosen, std::string& error) {
    // A Stop pressed in an earlier task must not end this copy. The window offers no Stop while
    // another task runs, so nothing else is clearing or watching the flag now.
    cancel = false;

    std::error_code ec;
    fs::create_directories(PlayFolder(), ec);
    const fs::path assets = PlayFolder() / "assets";
    const fs::path copyFolder = chosen.isImage ? chosen.source.parent_path() : chosen.source;

    const bool inPlace = fs::is_directory(fs::status(assets, ec)) && SameFile(copyFolder, assets);
    if (inPlace) {
        if (chosen.isImage && IsRealFolder(assets)) RemoveImagesInside(assets, &chosen.source);
    } else {
        if (!ClearAssets(assets, error)) return false;
        if (!chosen.isImage) {
            if (!platform->LinkFolder(assets, chosen.source, error)) return false;
        } else {
            fs::create_directory(assets, ec);
            const fs::path destination = assets / chosen.source.filename();
            if (!platform->HardLink(destination, chosen.source) &&
                !CopyImage(*this, chosen.source, destination, error)) {
                return false;
            }
        }
    }

    SaveSetting("game", PathToUtf8(chosen.source));
    SaveSetting("game_sha1", chosen.sha1);
    Log("game: " + PathToUtf8(chosen.source) + (inPlace ? " (in place), " : ", ") + chosen.region + ", sha1 " +
        chosen.sha1);
    return true;
}

}  // namespace launcher
