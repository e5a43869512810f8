#pragma once
// The one way to write a file that the user or a later run depends on (settings, stamps, caches):
// the whole text goes to a temporary file beside the target, reaches the disk, and only then takes
// the target's place, so a crash or a full disk leaves the old file or the new one, never a part.

#include <cstdint>
#include <filesystem>
#include <string>

namespace launcher {

struct AtomicWriteOptions {
    // Line ends become the platform's (CR LF on Windows), as a text-mode stream writes them.
    bool platformLineEnds = false;
    // When the system refuses the replace (another program holds the target open on Windows),
    // write the text over the target in place instead of giving up.
    bool writeInPlaceWhenReplaceRefused = false;
};

// On failure the target is as it was (unless the in-place fallback ran) and error says why.
bool WriteFileAtomically(const std::filesystem::path& target, const std::string& bytes,
                         const AtomicWriteOptions& options, std::string& error);
// The same for callers that word their own message: on failure code and systemText receive the
// system's error number and its words.
bool WriteFileAtomically(const std::filesystem::path& target, const std::string& bytes,
                         const AtomicWriteOptions& options, std::uint32_t& code, std::string& systemText);

// The last step of the above, for a file already written in full (a finished download): flushes it
// to the disk, then moves it over target (across volumes too). systemText gets the system's words.
bool CommitFile(const std::filesystem::path& written, const std::filesystem::path& target, std::string& systemText);

}  // namespace launcher
