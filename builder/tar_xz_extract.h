#pragma once

#include <atomic>
#include <filesystem>
#include <string>

#include "builder/archive_callbacks.h"

namespace launcher {

// Unpacks a .tar.xz archive into destination in one streaming pass: the file is read 1 MiB at a
// time, decoded and fed to the tar reader, which writes each file as its data arrives. rename (may
// be empty) maps each completed entry name; progress counts the archive's bytes read against its
// size. Stops at the next piece once *cancel is set. On failure error holds one of:
// "cannot open <archive>", "out of memory for the xz decoder", "cancelled",
// "the xz data is damaged (<n>) in <archive>", "the xz file ends early: <archive>",
// "the tar data ends early in <archive>", "the tar data is damaged in <archive>",
// "unsafe path in the archive: <entry name>", "cannot write <target>"; files written before the
// failure stay.
bool ExtractTarXz(const std::filesystem::path& archive, const std::filesystem::path& destination,
                  const EntryRename& rename, const ExtractProgress& progress, const std::atomic<bool>* cancel,
                  std::string& error);

}  // namespace launcher
