// The build's game executable and libraries, copied from the build folder into the play folder.
#include <set>

#include "builder/builder.h"
#include "platform/copy_file.h"
#include "platform/library_extension.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {

bool Builder::InstallBuild(std::string& error) {
    const fs::path play = PlayFolder();
    std::error_code ec;
    fs::create_directories(play, ec);

    // Names compare in lower case: the build's programs and tests stay behind, every library goes.
    const std::string suffix = platform->ExeSuffix();
    std::set<std::string> programs;
    for (const std::string& name : game.exes.empty() ? std::vector<std::string>{game.exe} : game.exes) {
        programs.insert(AsciiLower(name + suffix));
    }
    const fs::path build = baseFolder / "source" / "out" / "build" / "release";
    bool copied = false;
    for (fs::directory_iterator it(build, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code statusError;
        if (!it->is_regular_file(statusError)) continue;
        const std::string name = PathToUtf8(it->path().filename());
        const std::string lower = AsciiLower(name);
        const size_t dot = lower.rfind('.');
        const bool library = dot != std::string::npos && lower.compare(dot, std::string::npos, kLibraryExtension) == 0;
        if (!library && programs.count(lower) == 0) continue;
        std::string systemText;
        if (!CopyFileReplacing(it->path(), play / it->path().filename(), systemText)) {
            error = "Cannot copy " + name + " (is the game still running?)";
            return false;
        }
        copied = true;
    }
    if (!copied || !IsInstalled()) {
        error = "The build made no " + game.exe + suffix;
        return false;
    }
    Log("installed in " + PathToUtf8(play));
    return true;
}

}  // namespace launcher
