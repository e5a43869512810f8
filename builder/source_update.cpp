// Whether the installed game is older than what this launcher would build now.
#include "builder/builder.h"
#include "platform/release.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {

bool Builder::SourceUpdateAvailable(bool& available, std::string& error) {
    available = false;
    // A released launcher builds the game at its own version.
    if (IsVersion(game.version)) {
        if (!IsInstalled()) return true;
        available = BuiltVersion() != game.version;
        return true;
    }
    // A development launcher in package mode installs the latest release's package, which the
    // branch's tip says nothing about; and a package build never moves a checkout left from an
    // earlier source build, so asking it would offer the update again at every start.
    if (InPackageMode(game)) return true;

    fs::path sourceFolder = baseFolder / "source";
    std::error_code ec;
    if (!fs::exists(sourceFolder / ".git", ec)) return true;  // nothing fetched yet
    const std::string source = PathToUtf8(sourceFolder.make_preferred());
    if (Git({"-C", source, "fetch", "origin", game.branch}, nullptr, error) != 0) return false;
    std::string local;
    if (Git({"-C", source, "rev-parse", "HEAD"}, &local, error) != 0) return false;
    std::string remote;
    if (Git({"-C", source, "rev-parse", "origin/" + game.branch}, &remote, error) != 0) return false;
    available = local != remote;
    return true;
}

}  // namespace launcher
