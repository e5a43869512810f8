#pragma once
// A streaming tar reader: fed the archive in pieces of any size, it writes each regular file under
// a destination as its data arrives. It reads ustar names with their prefix, GNU long names and long
// link names, and pax "path=" and "linkpath="; links become copies of files written before them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "builder/archive_callbacks.h"

namespace launcher {

// The reader's state for one archive.
struct TarState {
    std::filesystem::path destination;
    EntryRename rename;  // may be empty: every entry keeps its name

    std::array<char, 512> header{};
    std::size_t headerBytes = 0;  // gathered so far

    bool inData = false;
    bool hasSink = false;     // the data goes to the file or to the extension buffer
    bool collecting = false;  // the data goes to the extension buffer
    char type = 0;
    std::uint64_t remaining = 0;
    std::uint64_t padding = 0;
    std::uint64_t paddingLeft = 0;

    std::ofstream file;
    std::string mapped;
    std::string extension;  // the data of the current 'L', 'K', 'x' or 'g' entry
    std::string pendingLongName;
    std::string pendingLinkName;
    std::string pendingPaxPath;
    // Files written, by their normalised archive name, to the name they were written under.
    std::map<std::string, std::string> written;

    std::string archiveText;  // the archive's path, for messages
    std::filesystem::path target;  // where the open file is written
    std::uint32_t mode = 0;        // the open file's Unix mode
    std::filesystem::path lastFolder;  // the last parent folder made
};

// Reads the next piece of the archive. False, with error set, when it cannot go on: an unsafe
// name, a file that cannot be written, damaged extension data.
bool FeedTar(TarState& state, const char* data, std::size_t size, std::string& error);

// Called when the data has ended: false when it ended inside an entry's data or inside a header.
bool FinishTar(TarState& state, std::string& error);

// A '/'-separated name without empty and "." pieces, each ".." taking away the piece before it
// (none: it is dropped), joined with single '/'.
std::string NormaliseEntryPath(const std::string& name);

}  // namespace launcher
