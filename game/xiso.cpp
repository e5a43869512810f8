#include "game/xiso.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "game/disc_log.h"
#include "platform/little_endian.h"
#include "platform/text.h"

namespace launcher {
namespace {

constexpr std::uint32_t kSectorSize = 2048;
constexpr std::uint64_t kDescriptorOffset = 0x10000;
constexpr char kMagic[] = "MICROSOFT*XBOX*MEDIA";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr int kMaxDepth = 32;
constexpr std::uint32_t kMaxDirectorySize = 0x1000000;
constexpr int kRetries = 5;

struct CurrentDiscHolder {
    std::atomic<XisoImage*> image{nullptr};
    ~CurrentDiscHolder() { delete image.exchange(nullptr); }
};

CurrentDiscHolder currentDisc;

}  // namespace

std::atomic<unsigned> discReadWarnings{0};

// What one Open may walk. Entries in many folders may name one extent, so a few KiB of image can
// describe an endless tree; a real disc has a few thousand entries and well under 1 MiB of folders.
// Each folder read is charged in whole sectors, so tiny folders cannot make the reads countless, and
// an extent already read is taken from memory, so folders naming one extent cost no further reads.
struct XisoImage::WalkBudget {
    std::uint64_t entries = 1000000;
    std::uint64_t bytes = 64ull << 20;
    std::map<std::pair<std::uint64_t, std::uint32_t>, std::vector<std::uint8_t>> read;
};

bool CompareEntryNames(const XisoEntry& a, const XisoEntry& b) {
    const size_t common = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(AsciiUpper(a.name[i]));
        const auto y = static_cast<unsigned char>(AsciiUpper(b.name[i]));
        if (x != y) return x < y;
    }
    return a.name.size() < b.name.size();
}

bool XisoImage::Open(const std::wstring& imagePath, std::string& error) {
    path = imagePath;
    std::unique_ptr<PositionedFile> opened = OpenImageFile(imagePath);
    if (!opened) {
        error = "cannot open the file";
        return false;
    }
    return Open(std::move(opened), error);
}

bool XisoImage::Open(std::unique_ptr<PositionedFile> image, std::string& error) {
    file = std::move(image);
    std::uint8_t descriptor[kSectorSize];
    bool found = false;
    for (const std::uint64_t candidate : {std::uint64_t{0}, kWholeDiscBase}) {
        if (ReadAt(candidate + kDescriptorOffset, descriptor, kSectorSize) == kSectorSize &&
            std::memcmp(descriptor, kMagic, kMagicSize) == 0 &&
            std::memcmp(descriptor + 0x7EC, kMagic, kMagicSize) == 0) {
            base = candidate;
            found = true;
            break;
        }
    }
    if (!found) {
        error = "no Xbox disc image";
        return false;
    }
    timeStamp = ReadLe64(descriptor + 28);
    root = XisoEntry{};
    root.offset = static_cast<std::uint64_t>(ReadLe32(descriptor + 20)) * kSectorSize + base;
    root.size = ReadLe32(descriptor + 24);
    root.isDirectory = true;
    WalkBudget budget;
    if (!ReadDirectory(root, 0, budget)) {
        error = "its folders cannot be read";
        return false;
    }
    return true;
}

bool XisoImage::ReadDirectory(XisoEntry& directory, int depth, WalkBudget& budget) {
    const std::uint32_t size = directory.size;
    if (size == 0) return true;
    if (depth > kMaxDepth || size > kMaxDirectorySize) return false;
    const std::uint64_t cost = (static_cast<std::uint64_t>(size) + kSectorSize - 1) / kSectorSize * kSectorSize;
    if (cost > budget.bytes) return false;
    budget.bytes -= cost;
    auto [cached, fresh] = budget.read.try_emplace({directory.offset, size});
    std::vector<std::uint8_t>& data = cached->second;
    if (fresh) {
        data.assign(size, 0);
        if (ReadAt(directory.offset, data.data(), size) < size) return false;
    }

    std::vector<bool> visited(size / 4 + 1, false);
    std::vector<std::uint64_t> stack{0};
    while (!stack.empty()) {
        const std::uint64_t o = stack.back();
        stack.pop_back();
        if (o + 14 > size || visited[o / 4]) continue;
        visited[o / 4] = true;
        const std::uint8_t* entry = data.data() + o;
        const std::uint16_t left = ReadLe16(entry);
        if (left == 0xFFFF) continue;  // padding between entries
        const std::uint8_t nameLength = entry[13];
        if (o + 14 + nameLength > size) continue;
        if (budget.entries == 0) return false;
        --budget.entries;
        const std::uint16_t right = ReadLe16(entry + 2);
        if (left != 0) stack.push_back(static_cast<std::uint64_t>(left) * 4);
        if (right != 0) stack.push_back(static_cast<std::uint64_t>(right) * 4);
        XisoEntry child;
        child.name.assign(reinterpret_cast<const char*>(entry + 14), nameLength);
        child.offset = static_cast<std::uint64_t>(ReadLe32(entry + 4)) * kSectorSize + base;
        child.size = ReadLe32(entry + 8);
        child.isDirectory = (entry[12] & 0x10) != 0;
        directory.children.push_back(std::move(child));
    }
    // Stable, so that of names equal but for case the first on the disc is the one found.
    std::stable_sort(directory.children.begin(), directory.children.end(), CompareEntryNames);
    for (XisoEntry& child : directory.children) {
        if (child.isDirectory && !ReadDirectory(child, depth + 1, budget)) return false;
    }
    return true;
}

std::uint32_t XisoImage::ReadAt(std::uint64_t offset, void* buffer, std::uint32_t count) {
    if (count == 0 || !file) return 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    unsigned long lastError = 0;
    for (int retriesLeft = kRetries;; --retriesLeft) {
        const ReadPass pass = file->Read(offset + done, bytes + done, count - done);
        lastError = pass.error;
        done += std::min(pass.bytes, count - done);
        if (done >= count || (pass.error == 0 && pass.bytes == 0)) return done;
        if (retriesLeft == 0) break;
        if (pass.bytes > 0) continue;  // progress: ask for the rest at once
        if (discReadWarnings.fetch_add(1) <= 19) {
            LogPrintf(4, "disc: a read at %llu failed (host error %lu), asked again",
                      static_cast<unsigned long long>(offset + done), pass.error);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    LogPrintf(3, "disc: %u of %u bytes read at %llu after 5 retries (host error %lu): the title gets a short read",
              done, count, static_cast<unsigned long long>(offset), lastError);
    return done;
}

const XisoEntry* XisoImage::FindEntry(const std::vector<std::string_view>& components) const {
    std::vector<const XisoEntry*> stack{&root};
    for (const std::string_view component : components) {
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (stack.size() > 1) stack.pop_back();
            continue;
        }
        const XisoEntry* next = nullptr;
        for (const XisoEntry& child : stack.back()->children) {
            if (AsciiEqualIgnoringCase(child.name, component)) {
                next = &child;
                break;
            }
        }
        if (next == nullptr) return nullptr;
        stack.push_back(next);
    }
    return stack.back();
}

const XisoEntry* XisoImage::Find(std::string_view path) const {
    std::vector<std::string_view> components;
    for (size_t start = 0;;) {
        const size_t end = path.find('\\', start);
        components.push_back(path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return FindEntry(components);
}

bool XisoImage::ReadWholeFile(std::string_view path, std::vector<std::uint8_t>& bytes) {
    const XisoEntry* entry = Find(path);
    if (entry == nullptr || entry->isDirectory) return false;
    // A damaged entry may claim gigabytes: nothing is allocated for a file the image cannot hold.
    if (entry->size > 0 && (!file || entry->offset + entry->size > file->Size())) return false;
    bytes.assign(entry->size, 0);
    if (entry->size == 0) return true;
    return ReadAt(entry->offset, bytes.data(), entry->size) == entry->size;
}

std::uint32_t XisoImage::ReadFileAt(const XisoEntry& entry, std::uint64_t offset, void* buffer, std::uint32_t length) {
    if (entry.isDirectory || offset >= entry.size) return 0;
    const std::uint64_t left = entry.size - offset;
    return ReadAt(entry.offset + offset, buffer, static_cast<std::uint32_t>(std::min<std::uint64_t>(left, length)));
}

void SetCurrentDisc(std::unique_ptr<XisoImage> image) {
    XisoImage* previous = currentDisc.image.exchange(image.release(), std::memory_order_release);
    delete previous;
}

XisoImage* CurrentDisc() { return currentDisc.image.load(std::memory_order_acquire); }

}  // namespace launcher
