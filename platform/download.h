#pragma once
// Fetching small texts and downloading files that survive interruptions.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/platform.h"

namespace launcher {

using ByteProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Far above any text the launcher fetches (the largest, the Visual Studio manifest, is a few MiB).
constexpr std::uint64_t kMaxFetchedText = 64ull << 20;

// The resource at url as text, with up to three quick attempts. An answer longer than limit fails the
// attempt.
bool FetchText(Http& http, const std::string& url, std::string& body, std::string& error,
               std::uint64_t limit = kMaxFetchedText);

// Brings url to destination through destination + ".part", resuming what an earlier call or pass
// left, checked against sha256 (when given) or size (when not 0), in up to five passes. The file is
// renamed into place only when it is whole.
bool Download(Http& http, const std::string& url, const std::filesystem::path& destination, const std::string& sha256,
              std::uint64_t size, const ByteProgress& progress, const std::atomic<bool>* cancel, std::string& error);

}  // namespace launcher
