#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace launcher {

// Maps an entry name ('/' separators) to the name to write under the destination; "" skips it.
using EntryRename = std::function<std::string(const std::string&)>;
// Bytes written so far and the uncompressed size of the whole archive.
using ExtractProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Unpacks a zip archive into destination. Every entry name has its backslashes turned into '/'
// before rename (which may be empty) sees it; folders are made as parents of the files below them.
// Stops before the next entry once *cancel is set. Only stored and deflated entries are written.
// On failure error holds one of: "cannot open <archive> as a zip", "cancelled",
// "unsafe path in <archive>: <entry name>", "cannot write <target> from <archive>"; files written
// before the failure stay.
bool ExtractZip(const std::filesystem::path& archive, const std::filesystem::path& destination,
                const EntryRename& rename, const ExtractProgress& progress, const std::atomic<bool>* cancel,
                std::string& error);

}  // namespace launcher
