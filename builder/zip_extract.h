#pragma once

#include <atomic>
#include <filesystem>
#include <string>

#include "builder/archive_callbacks.h"

namespace launcher {

// Unpacks a zip archive into destination. Every entry name has its backslashes turned into '/'
// before rename (which may be empty) sees it; folders are made as parents of the files below them.
// Progress counts the bytes written against the uncompressed size of the whole archive.
// Stops before the next entry once *cancel is set. Only stored and deflated entries are written.
// On failure error holds one of: "cannot open <archive> as a zip", "cancelled",
// "unsafe path in <archive>: <entry name>", "cannot write <target> from <archive>"; files written
// before the failure stay.
bool ExtractZip(const std::filesystem::path& archive, const std::filesystem::path& destination,
                const EntryRename& rename, const ExtractProgress& progress, const std::atomic<bool>* cancel,
                std::string& error);

}  // namespace launcher
