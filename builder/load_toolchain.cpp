#include "builder/builder.h"
#include "builder/visual_studio.h"
#include "platform/atomic_file.h"
#include "platform/download.h"

namespace fs = std::filesystem;

namespace launcher {

bool Builder::LoadToolchain(Toolchain& loaded, std::string& error, bool visualStudio) {
    Report("Looking up the build tools", "", -1.0);
    const fs::path cache = baseFolder / "toolchain.json";
    std::string text;
    const bool fetched = FetchText(*http, game.toolchain, text, error);
    if (!fetched) {
        if (LoadFile(cache, text)) {
            Log("toolchain.json could not be fetched (" + error + "), the last one is used");
        } else if (builtinToolList.empty()) {
            error = "Could not download the list of build tools: " + error;
            return false;
        } else {
            Log("toolchain.json could not be fetched (" + error + "), the launcher's own is used");
            text = builtinToolList;
        }
    }

    loaded = Toolchain{};
    if (!ReadToolchain(text, loaded, error)) return false;
    // Only a list that reads replaces the cache: a portal's page or a cut answer must not take the
    // place of the last good list, which every later start without a network would then fail on.
    if (fetched) {
        std::error_code ignored;
        fs::create_directories(baseFolder, ignored);
        std::string writeError;
        WriteFileAtomically(cache, text, AtomicWriteOptions{}, writeError);
    }
    if (visualStudio && !ReadVisualStudio(*http, text, loaded, error)) return false;

    std::uint64_t size = 0;
    for (const Tool& tool : loaded.tools) {
        if (!tool.optional) size += tool.DownloadSize();
    }
    Log("tools: " + std::to_string(loaded.tools.size()) + ", " + FormatSize(size) + " to download at most");
    return true;
}

}  // namespace launcher
