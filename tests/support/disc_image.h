#pragma once
// Builds Xbox disc images (XDVDFS) for tests: from a tree of folders and files, or from raw
// directory bytes for broken trees. Images are sparse: the unwritten parts cost no disk.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace launcher::test {

struct DiscNode {
    std::string name;
    bool isDirectory = false;
    std::string content;                  // a file's bytes
    std::vector<DiscNode> children;       // a folder's entries, in the order they are written
    std::optional<std::uint32_t> sector;  // where the data goes; the next free sector otherwise

    static DiscNode File(std::string name, std::string content, std::optional<std::uint32_t> sector = {});
    static DiscNode Folder(std::string name, std::vector<DiscNode> children = {});
};

struct DiscLayout {
    bool wholeDisc = false;  // the game partition starts at 0x18300000
    bool badSecondMagic = false;
    std::uint64_t timeStamp = 0x01D2C3B4A5968778ull;
    std::optional<std::uint32_t> rootSize;  // instead of the root's real size
};

// One directory entry as it stands on the disc (left and right in 4-byte units).
std::string DirectoryEntry(std::uint16_t left, std::uint16_t right, std::uint32_t sector, std::uint32_t size,
                           bool isDirectory, const std::string& name);

// An image whose root directory is at rootSector with rootSize bytes; sectors holds the raw bytes
// of every sector run to write (directories and file data alike).
void WriteRawImage(const std::filesystem::path& image, std::uint32_t rootSector, std::uint32_t rootSize,
                   const std::map<std::uint32_t, std::string>& sectors, const DiscLayout& layout = {});

// An image holding the tree below root.
void WriteDiscImage(const std::filesystem::path& image, const DiscNode& root, const DiscLayout& layout = {});

// The first sector after the volume descriptor, where the builder starts placing data.
constexpr std::uint32_t kFirstDataSector = 33;

}  // namespace launcher::test
