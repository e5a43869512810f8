#include "tests/support/disc_image.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "platform/little_endian.h"

namespace fs = std::filesystem;

namespace launcher::test {
namespace {

constexpr std::uint32_t kSector = 2048;
constexpr char kMagic[] = "MICROSOFT*XBOX*MEDIA";

std::uint32_t SectorsFor(std::uint64_t bytes) { return static_cast<std::uint32_t>((bytes + kSector - 1) / kSector); }

// Where each entry of a folder stands, with padding so that no entry crosses a sector.
std::vector<std::uint32_t> EntryOffsets(const std::vector<DiscNode>& children, std::uint32_t& size) {
    std::vector<std::uint32_t> offsets;
    std::uint32_t at = 0;
    for (const DiscNode& child : children) {
        const std::uint32_t length = (14 + static_cast<std::uint32_t>(child.name.size()) + 3) & ~3u;
        if (at / kSector != (at + length - 1) / kSector) at = (at / kSector + 1) * kSector;
        offsets.push_back(at);
        at += length;
    }
    size = children.empty() ? 0 : SectorsFor(at) * kSector;
    return offsets;
}

struct Placer {
    std::uint32_t next = kFirstDataSector;
    std::map<std::uint32_t, std::string> sectors;

    std::uint32_t Take(std::optional<std::uint32_t> wanted, std::uint64_t bytes) {
        const std::uint32_t sector = wanted ? *wanted : next;
        next = std::max(next, sector + std::max<std::uint32_t>(1, SectorsFor(bytes)));
        return sector;
    }

    // Places a folder's entries and everything below it; returns the folder's sector and size.
    std::pair<std::uint32_t, std::uint32_t> PlaceFolder(const DiscNode& folder) {
        std::uint32_t size = 0;
        const std::vector<std::uint32_t> offsets = EntryOffsets(folder.children, size);
        const std::uint32_t sector = Take(folder.sector, size);
        std::string bytes(size, '\xFF');
        for (size_t i = 0; i < folder.children.size(); ++i) {
            const DiscNode& child = folder.children[i];
            std::uint32_t childSector, childSize;
            if (child.isDirectory) {
                std::tie(childSector, childSize) = PlaceFolder(child);
            } else {
                childSize = static_cast<std::uint32_t>(child.content.size());
                childSector = Take(child.sector, childSize);
                if (!child.content.empty()) sectors[childSector] = child.content;
            }
            // Entries are chained through their right links; each is a one-node subtree.
            const std::uint16_t right =
                i + 1 < folder.children.size() ? static_cast<std::uint16_t>(offsets[i + 1] / 4) : 0;
            const std::string entry = DirectoryEntry(0, right, childSector, childSize, child.isDirectory, child.name);
            bytes.replace(offsets[i], entry.size(), entry);
        }
        if (size > 0) sectors[sector] = bytes;
        return {sector, size};
    }
};

}  // namespace

DiscNode DiscNode::File(std::string name, std::string content, std::optional<std::uint32_t> sector) {
    DiscNode node;
    node.name = std::move(name);
    node.content = std::move(content);
    node.sector = sector;
    return node;
}

DiscNode DiscNode::Folder(std::string name, std::vector<DiscNode> children) {
    DiscNode node;
    node.name = std::move(name);
    node.isDirectory = true;
    node.children = std::move(children);
    return node;
}

std::string DirectoryEntry(std::uint16_t left, std::uint16_t right, std::uint32_t sector, std::uint32_t size,
                           bool isDirectory, const std::string& name) {
    std::string entry;
    AppendLe16(entry, left);
    AppendLe16(entry, right);
    AppendLe32(entry, sector);
    AppendLe32(entry, size);
    entry += static_cast<char>(isDirectory ? 0x10 : 0x20);
    entry += static_cast<char>(name.size());
    entry += name;
    while (entry.size() % 4 != 0) entry += '\xFF';
    return entry;
}

void WriteRawImage(const fs::path& image, std::uint32_t rootSector, std::uint32_t rootSize,
                   const std::map<std::uint32_t, std::string>& sectors, const DiscLayout& layout) {
    const std::uint64_t base = layout.wholeDisc ? 0x18300000 : 0;
    std::string descriptor(kSector, '\0');
    descriptor.replace(0, 20, kMagic);
    std::string fields;
    AppendLe32(fields, rootSector);
    AppendLe32(fields, rootSize);
    AppendLe32(fields, static_cast<std::uint32_t>(layout.timeStamp));
    AppendLe32(fields, static_cast<std::uint32_t>(layout.timeStamp >> 32));
    descriptor.replace(20, fields.size(), fields);
    descriptor.replace(0x7EC, 20, layout.badSecondMagic ? "MICROSOFT*XBOX*MEDIUM" : kMagic, 20);

    fs::create_directories(image.parent_path());
    std::ofstream out(image, std::ios::binary | std::ios::trunc);
    const auto put = [&](std::uint64_t offset, const std::string& bytes) {
        out.seekp(static_cast<std::streamoff>(offset));
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    };
    put(base + 0x10000, descriptor);
    std::uint64_t end = base + 0x10000 + kSector;
    end = std::max(end, base + static_cast<std::uint64_t>(rootSector) * kSector + rootSize);
    for (const auto& [sector, bytes] : sectors) {
        const std::uint64_t offset = base + static_cast<std::uint64_t>(sector) * kSector;
        put(offset, bytes);
        end = std::max(end, offset + bytes.size());
    }
    out.close();
    if (!out) throw std::runtime_error("cannot write the disc image " + image.string());
    // Declared extents past the written bytes read as zeros, not as a short read.
    fs::resize_file(image, std::max<std::uint64_t>(end, fs::file_size(image)));
}

void WriteDiscImage(const fs::path& image, const DiscNode& root, const DiscLayout& layout) {
    Placer placer;
    const auto [rootSector, rootSize] = placer.PlaceFolder(root);
    WriteRawImage(image, rootSector, layout.rootSize.value_or(rootSize), placer.sectors, layout);
}

}  // namespace launcher::test
