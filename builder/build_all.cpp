// The full build from source: the tool list, each tool, the source, the XBEs, configure and
// compile, and the install, each a timed stage; the package build in its place when the game has a
// package.
#include "builder/builder.h"
#include "platform/text.h"

namespace launcher {
namespace {

// The Windows SDK's installer fails in folders whose paths are longer than this.
constexpr size_t kMaxSdkPathLength = 80;

// The length of UTF-8 text in UTF-16 code units: one per character, two for a character beyond
// the Basic Multilingual Plane (a four-byte sequence).
size_t Utf16Length(const std::string& utf8) {
    size_t units = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

}  // namespace

bool Builder::BuildAll(std::string& error) {
    // The package build clears the cancel flag and starts the build log itself.
    if (InPackageMode(game)) return BuildPackage(error);
    cancel.exchange(false);
    BeginBuildLog();
    const auto fail = [this, &error] {
        LogTiming();
        if (error != "cancelled") Log("build stopped: " + error);
        return false;
    };
    if (!IsInstalled() && PathTooLongForSdk(error)) return fail();
    if (!Stage("build tools list", [&] { return LoadToolchain(toolchain, error, true); })) return fail();
    for (const Tool& tool : toolchain.tools) {
        if (tool.optional) continue;
        if (!Stage("tool " + tool.id, [&] { return InstallTool(tool, error); })) return fail();
    }
    if (!Stage("game source", [&] { return FetchSource(error); })) return fail();
    if (!Stage("game's xbe", [&] { return WriteXbe(error); })) return fail();
    if (!Compile(error)) return fail();
    if (!Stage("install", [&] { return InstallBuild(error); })) return fail();
    LogTiming();
    SaveSetting("built", game.version);
    Report("Ready", "", 1.0);
    return true;
}

bool Builder::PathTooLongForSdk(std::string& error) {
    const std::string path = PathToUtf8(baseFolder);
    const size_t length = Utf16Length(path);
    if (length <= kMaxSdkPathLength) return false;
    error = "This folder's path is too long for Microsoft's Windows SDK installer (" + std::to_string(length) +
            " characters, at most " + std::to_string(kMaxSdkPathLength) + "): " + path + ". Move " + game.shortName +
            "Launcher.exe to a short folder, such as C:\\Games\\" + game.shortName + ", and run it from there.";
    return true;
}

}  // namespace launcher
