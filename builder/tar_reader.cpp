#include "builder/tar_reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

#include "builder/archive_path.h"
#include "platform/file_mode.h"
#include "platform/same_file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr std::size_t kBlock = 512;
// Long names and pax records are small; more than this is not an archive we can trust.
constexpr std::uint64_t kMaxExtension = 1 << 20;

bool IsExtension(char type) { return type == 'K' || type == 'L' || type == 'x' || type == 'g'; }
bool IsRegular(char type) { return type == '\0' || type == '0' || type == '7'; }
bool IsLinkType(char type) { return type == '1' || type == '2'; }

// A text field: up to its first NUL or its end.
std::string Field(const TarState& state, std::size_t offset, std::size_t size) {
    const char* start = state.header.data() + offset;
    return std::string(start, std::find(start, start + size, '\0'));
}

// Octal digits up to the first NUL; other bytes (blanks) are passed over.
std::uint64_t Octal(const TarState& state, std::size_t offset, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = offset; i < offset + size && state.header[i] != '\0'; ++i) {
        const char c = state.header[i];
        if (c >= '0' && c <= '7') value = (value << 3) | static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::uint64_t EntrySize(const TarState& state) {
    if (static_cast<unsigned char>(state.header[124]) & 0x80) {
        // Base-256: the low eight bytes of the field, big-endian.
        std::uint64_t value = 0;
        for (std::size_t i = 128; i < 136; ++i) value = (value << 8) | static_cast<unsigned char>(state.header[i]);
        return value;
    }
    return Octal(state, 124, 12);
}

bool IsZeroBlock(const char* bytes, std::size_t size) {
    return std::all_of(bytes, bytes + size, [](char c) { return c == '\0'; });
}

// NormaliseEntryPath; false when a ".." climbs above the top. In a tar name '\\' is a character.
bool Normalise(const std::string& name, std::string& normalised) {
    std::vector<std::string_view> pieces;
    bool within = true;
    for (std::string_view piece : NamedPieces(name, /*backslashSeparates=*/false)) {
        if (piece != "..") {
            pieces.push_back(piece);
        } else if (pieces.empty()) {
            within = false;
        } else {
            pieces.pop_back();
        }
    }
    normalised.clear();
    for (std::string_view piece : pieces) {
        if (!normalised.empty()) normalised += '/';
        normalised += piece;
    }
    return within;
}

// The archive name a link points at; false when it points outside the archive.
bool LinkTarget(char type, const std::string& name, const std::string& link, std::string& key) {
    if (link.empty() || link.front() == '/') return false;
    if (type == '1') return Normalise(link, key);
    // A symbolic link is relative to the link's own folder.
    const std::size_t slash = name.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    return Normalise(folder + link, key);
}

void MakeParentFolder(TarState& state, const fs::path& target) {
    fs::path parent = target.parent_path();
    if (parent == state.lastFolder) return;
    std::error_code ec;
    fs::create_directories(parent, ec);
    state.lastFolder = std::move(parent);
}

bool OpenFile(TarState& state, const std::string& name, std::string& error) {
    try {
        state.target = JoinPath(state.destination, state.mapped);
    } catch (const std::exception&) {
        // Not UTF-8: no path can be made of it.
        error = "cannot write " + PathToUtf8(state.destination) + "/" + state.mapped;
        return false;
    }
    MakeParentFolder(state, state.target);
    state.file.open(state.target, std::ios::binary | std::ios::trunc);
    if (!state.file) {
        error = "cannot write " + PathToUtf8(state.target);
        return false;
    }
    state.hasSink = true;
    state.mode = static_cast<std::uint32_t>(Octal(state, 100, 8));
    state.written[NormaliseEntryPath(name)] = state.mapped;
    return true;
}

// A link becomes a copy of the file written for the entry it names; a link that cannot be made is
// passed over.
void CopyLink(TarState& state, const std::string& name, const std::string& link) {
    std::string key;
    if (!LinkTarget(state.type, name, link, key)) return;
    const auto found = state.written.find(key);
    if (found == state.written.end()) return;
    fs::path source;
    fs::path target;
    try {
        source = JoinPath(state.destination, found->second);
        target = JoinPath(state.destination, state.mapped);
    } catch (const std::exception&) {
        return;
    }
    MakeParentFolder(state, target);
    // A link onto its own target: copying would empty the file (or fail).
    if (!SameFile(source, target)) {
        std::error_code ec;
        fs::copy_file(source, target, fs::copy_options::overwrite_existing, ec);
        if (ec) return;
    }
    state.written[NormaliseEntryPath(name)] = state.mapped;
}

void ApplyPaxRecords(TarState& state) {
    const std::string& records = state.extension;
    std::size_t p = 0;
    while (p < records.size()) {
        const std::size_t blank = records.find(' ', p);
        if (blank == std::string::npos) return;
        std::uint64_t length = 0;
        std::size_t i = p;
        for (; i < blank && records[i] >= '0' && records[i] <= '9' && length <= records.size(); ++i) {
            length = length * 10 + static_cast<std::uint64_t>(records[i] - '0');
        }
        if (i == p || i != blank || length == 0 || length > records.size() - p) return;
        const std::size_t end = p + static_cast<std::size_t>(length);
        if (end <= blank + 1) return;
        const std::string text = records.substr(blank + 1, end - 1 - (blank + 1));
        if (text.compare(0, 5, "path=") == 0) {
            state.pendingPaxPath = text.substr(5);
        } else if (text.compare(0, 9, "linkpath=") == 0) {
            state.pendingLinkName = text.substr(9);
        }
        p = end;
    }
}

bool FinishEntry(TarState& state, std::string& error) {
    if (state.file.is_open()) {
        state.file.close();
        if (state.file.fail()) {
            error = "cannot write " + PathToUtf8(state.target);
            return false;
        }
        AddExecuteBits(state.target, state.mode);
    }
    if (state.collecting) {
        const std::string text = state.extension.substr(0, state.extension.find('\0'));
        switch (state.type) {
            case 'K': state.pendingLinkName = text; break;
            case 'L': state.pendingLongName = text; break;
            case 'x': ApplyPaxRecords(state); break;
            default: break;  // 'g' applies nothing
        }
        state.collecting = false;
        state.extension.clear();
    }
    state.hasSink = false;
    return true;
}

bool TakeHeader(TarState& state, std::string& error) {
    if (IsZeroBlock(state.header.data(), kBlock)) return true;
    const std::uint64_t size = EntrySize(state);
    state.type = state.header[156];
    std::string name = Field(state, 0, 100);
    if (std::memcmp(state.header.data() + 257, "ustar", 5) == 0) {
        const std::string prefix = Field(state, 345, 155);
        if (!prefix.empty()) name = prefix + "/" + name;
    }
    std::string link = Field(state, 157, 100);
    // An extension entry leaves what earlier ones gave for the entry they all describe: GNU tar
    // writes 'K' then 'L' before a link whose name and target are both long.
    if (!IsExtension(state.type)) {
        if (!state.pendingLongName.empty()) name = std::move(state.pendingLongName);
        if (!state.pendingPaxPath.empty()) name = std::move(state.pendingPaxPath);
        if (!state.pendingLinkName.empty()) link = std::move(state.pendingLinkName);
        state.pendingLongName.clear();
        state.pendingPaxPath.clear();
        state.pendingLinkName.clear();
    }
    state.remaining = size;
    state.padding = (kBlock - size % kBlock) % kBlock;
    state.hasSink = false;
    state.collecting = false;

    if (IsExtension(state.type)) {
        if (size > kMaxExtension) {
            error = "the tar data is damaged in " + state.archiveText;
            return false;
        }
        state.hasSink = true;
        state.collecting = true;
        state.extension.clear();
    } else if (IsRegular(state.type) || IsLinkType(state.type)) {
        state.mapped = state.rename ? state.rename(name) : name;
        if (IsRegular(state.type)) {
            if (!state.mapped.empty()) {
                if (!IsSafeRelativePath(state.mapped)) {
                    error = "unsafe path in the archive: " + EscapedEntryName(name);
                    return false;
                }
                if (!OpenFile(state, name, error)) return false;
            }
        } else if (!state.mapped.empty() && IsSafeRelativePath(state.mapped)) {
            CopyLink(state, name, link);
        }
    }

    if (size == 0) return FinishEntry(state, error);
    state.inData = true;
    return true;
}

}  // namespace

bool FeedTar(TarState& state, const char* data, std::size_t size, std::string& error) {
    while (size > 0) {
        if (state.paddingLeft > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(state.paddingLeft, size));
            state.paddingLeft -= n;
            data += n;
            size -= n;
            continue;
        }
        if (state.inData) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(state.remaining, size));
            if (state.collecting) {
                state.extension.append(data, n);
            } else if (state.hasSink) {
                state.file.write(data, static_cast<std::streamsize>(n));
                if (!state.file) {
                    error = "cannot write " + PathToUtf8(state.target);
                    return false;
                }
            }
            state.remaining -= n;
            data += n;
            size -= n;
            if (state.remaining == 0) {
                state.inData = false;
                state.paddingLeft = state.padding;
                if (!FinishEntry(state, error)) return false;
            }
            continue;
        }
        const std::size_t n = std::min(kBlock - state.headerBytes, size);
        std::memcpy(state.header.data() + state.headerBytes, data, n);
        state.headerBytes += n;
        data += n;
        size -= n;
        if (state.headerBytes == kBlock) {
            state.headerBytes = 0;
            if (!TakeHeader(state, error)) return false;
        }
    }
    return true;
}

bool FinishTar(TarState& state, std::string& error) {
    const bool inHeader = !IsZeroBlock(state.header.data(), state.headerBytes);
    if (state.inData || inHeader) {
        error = "the tar data ends early in " + state.archiveText;
        return false;
    }
    return true;
}

std::string NormaliseEntryPath(const std::string& name) {
    std::string normalised;
    Normalise(name, normalised);
    return normalised;
}

}  // namespace launcher
