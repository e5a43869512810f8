#include <algorithm>
#include <map>
#include <vector>

#include "builder/archive_mapping.h"
#include "builder/builder.h"
#include "builder/tar_xz_extract.h"
#include "builder/visual_studio.h"
#include "builder/zip_extract.h"
#include "platform/atomic_file.h"
#include "platform/download.h"
#include "platform/error_text.h"
#include "platform/file_tree.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {

bool Builder::InstallTool(const Tool& tool, std::string& error) {
    const fs::path dir = ToolDir(tool.id);
    const fs::path stampFile = dir / ".launcher-stamp";
    std::string stamp;
    if (LoadFile(stampFile, stamp) && stamp == tool.stamp) {
        // What a launcher that ended between the stamp and the clean-up left.
        std::error_code ignored;
        RemoveTree(baseFolder / "downloads" / fs::path(tool.id), ignored);
        return true;
    }

    // Unpacking over what a running program or a virus scanner keeps open would give a mix of two
    // versions, which the stamp would then make permanent. The stamp goes first, so that a folder
    // only partly removed never passes for an installed tool.
    std::error_code ec;
    if (!RemoveTree(stampFile, ec) || !RemoveTree(dir, ec)) {
        error = "Could not remove " + PathToUtf8(dir) + ": " + ErrorCodeText(ec);
        return false;
    }
    const fs::path dl = baseFolder / "downloads" / fs::path(tool.id);
    fs::create_directories(dl, ec);

    std::uint64_t total = tool.DownloadSize();
    std::uint64_t done = 0;
    const std::string downloadTitle = "Downloading " + tool.title;
    const std::string unpackTitle = "Unpacking " + tool.title;

    const ByteProgress toolDownloadProgress = [&](std::uint64_t received, std::uint64_t) {
        const std::uint64_t now = done + received;
        Report(downloadTitle, FormatSize(now) + " of " + FormatSize(total),
               total != 0 ? static_cast<double>(now) / static_cast<double>(total) : -1.0);
    };
    const auto downloadToolFile = [&](const FileRef& file) {
        Log("download " + file.url);
        std::string failure;
        const bool ok =
            Download(*http, file.url, dl / fs::path(file.name), file.sha256, file.size, toolDownloadProgress, &cancel,
                     failure);
        done += file.size;
        if (ok) return true;
        // A stop is no failure of the file: the caller shows and logs it as a stop.
        error = failure == "cancelled" ? failure : "Could not download " + file.name + ": " + failure;
        return false;
    };
    const ExtractProgress toolUnpackProgress = [&](std::uint64_t unpacked, std::uint64_t whole) {
        Report(unpackTitle, "", whole != 0 ? static_cast<double>(unpacked) / static_cast<double>(whole) : -1.0);
    };

    for (const FileRef& file : tool.files) {
        if (!downloadToolFile(file)) return false;
    }
    Report(unpackTitle, "", -1.0);

    if (tool.kind == "msi") {
        // Only the cabinets that the installers name are fetched, each once, in the order named.
        std::map<std::string, const FileRef*> cabsByName;
        for (const FileRef& cab : tool.cabs) cabsByName[AsciiLower(cab.name)] = &cab;
        std::vector<const FileRef*> needed;
        for (const FileRef& installer : tool.files) {
            std::string bytes;
            if (!LoadFile(dl / fs::path(installer.name), bytes)) continue;
            for (const std::string& name : MsiCabNames(bytes)) {
                const auto found = cabsByName.find(name);
                if (found == cabsByName.end()) continue;
                if (std::find(needed.begin(), needed.end(), found->second) == needed.end()) needed.push_back(found->second);
            }
        }
        total = done;
        for (const FileRef* cab : needed) total += cab->size;
        for (const FileRef* cab : needed) {
            if (!downloadToolFile(*cab)) return false;
        }
        const size_t count = tool.files.size();
        for (size_t i = 0; i < count; ++i) {
            const FileRef& installer = tool.files[i];
            Report(unpackTitle, installer.name, static_cast<double>(i) / static_cast<double>(count));
            Log("extract " + installer.name);
            if (!platform->ExtractMsi(dl / fs::path(installer.name), dir, error)) return false;
            if (cancel.load()) {
                error = "cancelled";
                return false;
            }
        }
    } else {
        const EntryRename mapArchivePath = [&tool](const std::string& name) { return MapArchivePath(tool, name); };
        for (const FileRef& file : tool.files) {
            Log("unpack " + file.name);
            const fs::path archive = dl / fs::path(file.name);
            const bool ok = tool.kind == "tar.xz"
                                ? ExtractTarXz(archive, dir, mapArchivePath, toolUnpackProgress, &cancel, error)
                                : ExtractZip(archive, dir, mapArchivePath, toolUnpackProgress, &cancel, error);
            if (!ok) return false;
        }
    }

    // Last of all: the stamp says the folder is whole. A stamp that cannot be written only means
    // the tool is installed again next time.
    std::error_code ignored;
    fs::create_directories(dir, ignored);
    std::string writeError;
    WriteFileAtomically(stampFile, tool.stamp, AtomicWriteOptions{}, writeError);
    RemoveTree(dl, ignored);
    Log(tool.title + " ready in " + PathToUtf8(dir));
    return true;
}

}  // namespace launcher
