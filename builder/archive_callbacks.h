#pragma once
// The callbacks every archive extractor takes.

#include <cstdint>
#include <functional>
#include <string>

namespace launcher {

// Maps an entry name ('/' separators) to the name to write under the destination; "" skips it.
using EntryRename = std::function<std::string(const std::string&)>;
// The amount unpacked so far and the whole amount, in the extractor's own unit.
using ExtractProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

}  // namespace launcher
