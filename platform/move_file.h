#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>

namespace launcher {

// How long a replace is tried when Windows refuses it for a moment: an antivirus, the indexer or
// OneDrive holds a file it has just seen without delete sharing, which gives access denied or a
// sharing violation. About a second in all.
inline constexpr unsigned kReplaceTries = 10;
inline constexpr std::chrono::milliseconds kReplaceWait{100};

// The one way to move a file into place, replacing what stands there (across volumes too, flushed
// before it returns). On Windows a refusal of those two kinds is tried again, up to kReplaceTries
// times in all; any other failure, and the last refusal, is the result. Returns 0 or the system's
// code (a Win32 code on Windows, an errno value elsewhere).
std::uint32_t ReplaceWithFile(const std::filesystem::path& from, const std::filesystem::path& to,
                              unsigned tries = kReplaceTries);

// The same; on failure systemText receives the system's words for the reason.
bool MoveFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::string& systemText,
                       unsigned tries = kReplaceTries);

}  // namespace launcher
