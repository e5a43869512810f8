// The build from the port's prebuilt package: find or download it, unpack it into play/.next, let
// the port prepare its code there, and move the result over the installed game.
#include <cstdint>
#include <limits>

#include "builder/package_pipeline.h"
#include "builder/protected_folders.h"
#include "game/identify.h"
#include "platform/atomic_file.h"
#include "platform/error_text.h"
#include "platform/file_tree.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

// The folder that holds the launcher's executable: the base folder's parent.
fs::path LauncherFolder(const fs::path& baseFolder) {
    const fs::path base = baseFolder.has_filename() ? baseFolder : baseFolder.parent_path();
    return base.parent_path();
}

// Size and last-write time of a package beside the launcher, the time read first; unreadable, they
// read as all ones and as the smallest time. The time is the file clock's own count (nanoseconds
// with libstdc++, on MinGW too, not Windows' 100 ns ticks): a stamp is only ever compared with
// stamps this launcher wrote.
std::string StampOfFile(const fs::path& package) {
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(package, ec);
    const std::int64_t time =
        ec ? std::numeric_limits<std::int64_t>::min() : static_cast<std::int64_t>(written.time_since_epoch().count());
    const std::uintmax_t size = fs::file_size(package, ec);
    const std::uint64_t bytes = ec ? std::numeric_limits<std::uint64_t>::max() : static_cast<std::uint64_t>(size);
    return std::to_string(bytes) + " " + std::to_string(time);
}

}  // namespace

bool Builder::BuildPackage(std::string& error) {
    cancel.exchange(false);
    BeginBuildLog();
    const auto FinishFailedBuild = [this, &error] {
        phase.exchange(0);
        LogTiming();
        if (error != "cancelled") Log("build stopped: " + error);
    };
    const auto Fail = [&error, &FinishFailedBuild](const std::string& text) {
        error = text;
        FinishFailedBuild();
        return false;
    };

    if (ChosenGamePath().empty()) return Fail("Choose the game first.");
    PackageRun run;
    run.packageName = PackageForGame();
    if (run.packageName.empty()) return Fail("No package is known for this copy of the game: choose it again.");

    run.downloadsFolder = baseFolder / "downloads";
    run.sideFolder = PlayFolder() / kSideFolder;
    run.packagePath = LauncherFolder(baseFolder) / Utf8Path(run.packageName);
    phase.exchange(1);
    std::error_code ec;
    if (fs::exists(run.packagePath, ec)) {
        Log("package beside the launcher: " + PathToUtf8(run.packagePath));
        run.stamp = StampOfFile(run.packagePath);
    } else if (!Stage("package download", [this, &run] { return DownloadPackageStage(*this, run); })) {
        return Fail(cancel ? "cancelled" : run.error);
    }

    phase.exchange(2);
    const fs::path sideStamp = run.sideFolder / kPackageStampName;
    std::string unpacked;
    if (!LoadFile(sideStamp, unpacked) || unpacked != run.stamp) {
        // What is left of another package (a file held open) would be moved into the game with it.
        std::error_code removeError;
        if (!RemoveTree(run.sideFolder, removeError)) {
            return Fail("Could not remove " + PathToUtf8(run.sideFolder) + ": " + ErrorCodeText(removeError));
        }
        if (!Stage("package unpack", [this, &run] { return UnpackPackageStage(*this, run); })) {
            return Fail(cancel ? "cancelled" : run.error);
        }
        std::string stampError;
        WriteFileAtomically(sideStamp, run.stamp, AtomicWriteOptions{}, stampError);
        // Only a package this launcher downloaded is its to delete.
        if (run.packagePath.parent_path() == run.downloadsFolder) fs::remove(run.packagePath, run.fileError);
    }

    phase.exchange(3);
    run.failureReason.clear();
    if (!Stage("compile game code", [this, &run] { return PrepareCodeStage(*this, run); })) {
        if (cancel) return Fail("cancelled");
        if (!run.failureReason.empty()) return Fail(run.failureReason);
        return Fail("The game's code could not be built, see launcher.log");
    }
    if (!fs::exists(run.sideFolder / fs::path(game.exe + ".dll"), ec)) {
        return Fail("The build finished without " + game.exe + ".dll, see launcher.log");
    }
    // A stop during the move ends with the stage's own message: what moved stays moved.
    if (!Stage("replace the game", [this, &run] { return ReplaceGameStage(*this, run); })) return Fail(run.error);
    RemoveTree(run.sideFolder, run.fileError);
    if (!IsInstalled()) return Fail("The game was put in place but is not complete, see launcher.log");

    phase.exchange(4);
    LogTiming();
    SaveSetting("built", game.version);
    Report("Ready", "", 1.0);
    return true;
}

std::string Builder::PackageForGame() {
    std::string sha1 = ReadStringSetting("game_sha1");
    if (sha1.empty() && !game.packages.empty()) {
        const fs::path chosen = ChosenGamePath();
        // The SHA-1 counts whatever else the identification says about the copy.
        if (!chosen.empty()) sha1 = IdentifyGame(game, chosen).sha1;
    }
    const auto package = game.packages.find(AsciiLower(sha1));
    return package != game.packages.end() ? package->second : game.package;
}

}  // namespace launcher
