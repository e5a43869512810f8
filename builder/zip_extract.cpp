#include "builder/zip_extract.h"

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

#include "builder/archive_path.h"
#include "platform/file_mode.h"
#include "platform/little_endian.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr size_t kReadBufferSize = 1 << 20;

constexpr zip_uint32_t kDosFolderAttribute = 0x10;
constexpr zip_uint32_t kUnixTypeMask = 0170000;
constexpr zip_uint32_t kUnixFolder = 0040000;
constexpr zip_uint32_t kUnixLink = 0120000;

struct ZipDiscard {
    void operator()(zip_t* zip) const { zip_discard(zip); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;

// What the central directory says about an entry beyond its name and sizes.
struct EntryAttributes {
    bool folder = false;
    std::uint32_t unixMode = 0;  // 0 unless a Unix system made the entry
};

EntryAttributes AttributesOf(zip_t* zip, zip_uint64_t index, const std::string& name) {
    EntryAttributes kind;
    kind.folder = !name.empty() && name.back() == '/';
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(zip, index, 0, &system, &attributes) != 0) return kind;
    if (attributes & kDosFolderAttribute) kind.folder = true;
    if (system == ZIP_OPSYS_UNIX) {
        kind.unixMode = attributes >> 16;
        if ((kind.unixMode & kUnixTypeMask) == kUnixFolder) kind.folder = true;
    }
    return kind;
}

// libzip checks the CRC only when a read reaches the end of the entry, so the entry is read until
// zip_fread returns 0 and the close result counts too. Nor does libzip hold the data to the
// declared size: no read here asks for more than one byte past it, and the entry fails when its data
// passes that size or ends short of it.
bool CopyEntry(zip_t* zip, zip_uint64_t index, std::uint64_t size, const fs::path& target, std::vector<char>& buffer) {
    zip_file_t* entry = zip_fopen_index(zip, index, 0);
    if (entry == nullptr) return false;
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    bool ok = static_cast<bool>(out);
    std::uint64_t written = 0;
    while (ok) {
        const std::uint64_t room = size - written;
        const zip_uint64_t ask = room < buffer.size() ? room + 1 : buffer.size();
        const zip_int64_t read = zip_fread(entry, buffer.data(), ask);
        if (read == 0) break;
        ok = read > 0 && static_cast<zip_uint64_t>(read) <= room &&
             out.write(buffer.data(), static_cast<std::streamsize>(read));
        if (ok) written += static_cast<zip_uint64_t>(read);
    }
    if (zip_fclose(entry) != 0) ok = false;
    out.close();
    return ok && !out.fail() && written == size;
}

void SetModificationTime(const fs::path& target, time_t mtime) {
    std::error_code ec;
    fs::last_write_time(target, fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(mtime)), ec);
}

// The archive file as libzip reads it. libzip's own file reader asks the system for every 8 KiB of
// compressed data and seeks before each read; this one serves those reads from one buffer of its
// own, refilled once per buffer length of the archive read in order, and reads long requests
// straight into the caller's memory.
class ArchiveFile {
public:
    explicit ArchiveFile(const fs::path& path) : in_(path, std::ios::binary), buffer_(kReadBufferSize) {
        std::error_code ec;
        size_ = fs::file_size(path, ec);
        if (ec) in_.close();
        zip_error_init(&error_);
    }
    ~ArchiveFile() { zip_error_fini(&error_); }
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    bool IsOpen() const { return in_.is_open(); }
    std::uint64_t Size() const { return size_; }

    // Exactly count bytes at offset, or false.
    bool ReadAt(std::uint64_t offset, void* out, std::size_t count) {
        position_ = offset;
        auto* bytes = static_cast<char*>(out);
        while (count > 0) {
            const std::int64_t got = Read(bytes, count);
            if (got <= 0) return false;
            bytes += got;
            count -= static_cast<std::size_t>(got);
        }
        return true;
    }

    // A libzip source over this file; the file must outlive it.
    zip_source_t* Source() { return zip_source_function_create(&ArchiveFile::Command, this, &error_); }

private:
    // Up to count bytes at the position, which moves past them: 0 at the end, -1 on a read error.
    std::int64_t Read(char* out, std::uint64_t count) {
        if (position_ >= size_) return 0;
        count = std::min(count, size_ - position_);
        if (position_ < bufferStart_ || position_ >= bufferStart_ + bufferLength_) {
            if (count >= buffer_.size() / 4) {
                const std::size_t got = ReadFile(position_, out, static_cast<std::size_t>(count));
                position_ += got;
                return got > 0 ? static_cast<std::int64_t>(got) : -1;
            }
            bufferStart_ = position_;
            bufferLength_ = ReadFile(position_, buffer_.data(),
                                     static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), size_ - position_)));
            if (bufferLength_ == 0) return -1;
        }
        const std::size_t at = static_cast<std::size_t>(position_ - bufferStart_);
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(count, bufferLength_ - at));
        std::memcpy(out, buffer_.data() + at, take);
        position_ += take;
        return static_cast<std::int64_t>(take);
    }

    std::size_t ReadFile(std::uint64_t offset, char* out, std::size_t count) {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(out, static_cast<std::streamsize>(count));
        return static_cast<std::size_t>(in_.gcount());
    }

    static zip_int64_t Command(void* self, void* data, zip_uint64_t length, zip_source_cmd_t command) {
        auto& file = *static_cast<ArchiveFile*>(self);
        switch (command) {
        case ZIP_SOURCE_OPEN:
            file.position_ = 0;
            return 0;
        case ZIP_SOURCE_READ: {
            const std::int64_t got = file.Read(static_cast<char*>(data), length);
            if (got < 0) zip_error_set(&file.error_, ZIP_ER_READ, 0);
            return got;
        }
        case ZIP_SOURCE_SEEK: {
            const zip_int64_t to = zip_source_seek_compute_offset(file.position_, file.size_, data, length, &file.error_);
            if (to < 0) return -1;
            file.position_ = static_cast<std::uint64_t>(to);
            return 0;
        }
        case ZIP_SOURCE_TELL:
            return static_cast<zip_int64_t>(file.position_);
        case ZIP_SOURCE_STAT: {
            zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &file.error_);
            if (stat == nullptr) return -1;
            zip_stat_init(stat);
            stat->size = file.size_;
            stat->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&file.error_, data, length);
        case ZIP_SOURCE_CLOSE:
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL,
                                                  ZIP_SOURCE_SUPPORTS, -1);
        default:
            zip_error_set(&file.error_, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    }

    std::ifstream in_;
    std::uint64_t size_ = 0;
    std::vector<char> buffer_;
    std::uint64_t bufferStart_ = 0;
    std::size_t bufferLength_ = 0;
    std::uint64_t position_ = 0;
    zip_error_t error_;
};

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEnd64LocatorSignature = 0x07064b50;
constexpr std::uint32_t kEnd64Signature = 0x06064b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kEnd64LocatorSize = 20;
constexpr std::size_t kEnd64Size = 56;
constexpr std::size_t kCentralSize = 46;
constexpr std::uint64_t kLargestComment = 0xFFFF;
constexpr std::uint16_t kZip64Extra = 0x0001;

// The local header offsets of the central directory that the end record at `end` describes, or
// false when that directory cannot be read.
bool OffsetsFromEndRecord(ArchiveFile& file, std::uint64_t end, std::vector<std::uint64_t>& offsets,
                          std::vector<std::uint32_t>& crcs) {
    std::uint8_t record[kEnd64Size];
    if (!file.ReadAt(end, record, kEndSize)) return false;
    std::uint64_t records = ReadLe16(record + 10);
    std::uint64_t size = ReadLe32(record + 12);
    std::uint64_t start = ReadLe32(record + 16);
    std::uint64_t limit = end;
    std::uint8_t locator[kEnd64LocatorSize];
    if (end >= kEnd64LocatorSize && file.ReadAt(end - kEnd64LocatorSize, locator, kEnd64LocatorSize) &&
        ReadLe32(locator) == kEnd64LocatorSignature) {
        limit = ReadLe64(locator + 8);
        if (!file.ReadAt(limit, record, kEnd64Size) || ReadLe32(record) != kEnd64Signature) return false;
        records = ReadLe64(record + 32);
        size = ReadLe64(record + 40);
        start = ReadLe64(record + 48);
    }
    if (start > limit || size > limit - start || records > size / kCentralSize) return false;
    std::vector<std::uint8_t> directory(static_cast<std::size_t>(size));
    if (!file.ReadAt(start, directory.data(), directory.size())) return false;
    offsets.clear();
    crcs.clear();
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < records; ++i) {
        if (directory.size() - at < kCentralSize) return false;
        const std::uint8_t* central = directory.data() + at;
        if (ReadLe32(central) != kCentralSignature) return false;
        const std::size_t nameLength = ReadLe16(central + 28), extraLength = ReadLe16(central + 30);
        const std::size_t length = kCentralSize + nameLength + extraLength + ReadLe16(central + 32);
        if (directory.size() - at < length) return false;
        std::uint64_t offset = ReadLe32(central + 42);
        if (offset == 0xFFFFFFFF) {
            // The zip64 field holds, in this order, only the values the record marks as too large.
            std::size_t skip = (ReadLe32(central + 24) == 0xFFFFFFFF ? 8 : 0) + (ReadLe32(central + 20) == 0xFFFFFFFF ? 8 : 0);
            const std::uint8_t* extra = central + kCentralSize + nameLength;
            const std::uint8_t* extraEnd = extra + extraLength;
            bool found = false;
            while (!found && extraEnd - extra >= 4) {
                const std::size_t fieldLength = ReadLe16(extra + 2);
                if (static_cast<std::size_t>(extraEnd - extra - 4) < fieldLength) break;
                if (ReadLe16(extra) == kZip64Extra && fieldLength >= skip + 8) {
                    offset = ReadLe64(extra + 4 + skip);
                    found = true;
                }
                extra += 4 + fieldLength;
            }
            if (!found) return false;
        }
        offsets.push_back(offset);
        crcs.push_back(ReadLe32(central + 16));
        at += length;
    }
    return true;
}

// True when the central directory libzip read (its entries' CRCs in order) can be found and no two
// of its records share a local header: one stored entry under many names would write many times
// the archive's size.
bool LocalHeadersAreDistinct(ArchiveFile& file, const std::vector<std::uint32_t>& expectedCrcs) {
    if (file.Size() < kEndSize) return false;
    const std::uint64_t tailStart = file.Size() - std::min<std::uint64_t>(file.Size(), kEndSize + kLargestComment);
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(file.Size() - tailStart));
    if (!file.ReadAt(tailStart, tail.data(), tail.size())) return false;
    // The end record is looked for from the end back, as a comment may hold its signature.
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        if (ReadLe32(tail.data() + at) != kEndSignature) continue;
        std::vector<std::uint64_t> offsets;
        std::vector<std::uint32_t> crcs;
        if (!OffsetsFromEndRecord(file, tailStart + at, offsets, crcs) || crcs != expectedCrcs) continue;
        std::sort(offsets.begin(), offsets.end());
        return std::adjacent_find(offsets.begin(), offsets.end()) == offsets.end();
    }
    return false;
}

}  // namespace

bool ExtractZip(const fs::path& archive, const fs::path& destination, const EntryRename& rename,
                const ExtractProgress& progress, const std::atomic<bool>* cancel, std::string& error) {
    const std::string archiveText = PathToUtf8(archive);
    // Declared before the archive, which reads through it until it is discarded.
    ArchiveFile file(archive);
    ZipArchive zip;
    if (file.IsOpen()) {
        if (zip_source_t* source = file.Source()) {
            zip_error_t openError;
            zip_error_init(&openError);
            // No ZIP_CHECKCONS: a later entry of the same name is accepted and overwrites the earlier one.
            zip.reset(zip_open_from_source(source, ZIP_RDONLY, &openError));
            if (!zip) zip_source_free(source);
            zip_error_fini(&openError);
        }
    }
    if (!zip) {
        error = "cannot open " + archiveText + " as a zip";
        return false;
    }
    const zip_int64_t count = std::max<zip_int64_t>(zip_get_num_entries(zip.get(), 0), 0);
    const auto entries = static_cast<zip_uint64_t>(count);

    // Names are read raw: without ZIP_FL_ENC_RAW libzip takes names without the UTF-8 flag for
    // CP437 and converts them.
    std::uint64_t total = 0;
    std::vector<std::uint32_t> crcs;
    for (zip_uint64_t i = 0; i < entries; ++i) {
        zip_stat_t stat;
        const bool read = zip_stat_index(zip.get(), i, ZIP_FL_ENC_RAW, &stat) == 0;
        if (read && (stat.valid & ZIP_STAT_SIZE)) total += stat.size;
        crcs.push_back(read && (stat.valid & ZIP_STAT_CRC) ? stat.crc : 0);
    }
    if (!LocalHeadersAreDistinct(file, crcs)) {
        error = "cannot open " + archiveText + " as a zip";
        return false;
    }

    std::vector<char> buffer(kReadBufferSize);
    std::set<fs::path> madeFolders;
    std::uint64_t done = 0;
    for (zip_uint64_t i = 0; i < entries; ++i) {
        if (cancel != nullptr && cancel->load()) {
            error = "cancelled";
            return false;
        }
        zip_stat_t stat;
        if (zip_stat_index(zip.get(), i, ZIP_FL_ENC_RAW, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME)) continue;
        std::string name = stat.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        const std::string mapped = rename ? rename(name) : name;
        const EntryAttributes kind = AttributesOf(zip.get(), i, name);
        if (mapped.empty() || kind.folder) continue;
        if (!IsSafeRelativePath(mapped)) {
            error = "unsafe path in " + archiveText + ": " + EscapedEntryName(name);
            return false;
        }
        fs::path target;
        try {
            target = JoinPath(destination, mapped);
        } catch (const std::exception&) {
            // Not UTF-8: no path can be made of it.
            error = "cannot write " + PathToUtf8(destination) + "/" + mapped + " from " + archiveText;
            return false;
        }
        const std::string cannotWrite = "cannot write " + PathToUtf8(target) + " from " + archiveText;
        // Other methods are refused even where the library could decode them, so that every build
        // unpacks the same archives.
        const bool supported = (stat.valid & ZIP_STAT_SIZE) && (stat.valid & ZIP_STAT_COMP_METHOD) &&
                               (stat.comp_method == ZIP_CM_STORE || stat.comp_method == ZIP_CM_DEFLATE);
        if (!supported) {
            error = cannotWrite;
            return false;
        }
        if (madeFolders.insert(target.parent_path()).second) {
            std::error_code ec;
            fs::create_directories(target.parent_path(), ec);
        }
        // A symbolic link entry is written as a file holding the link text, never as a link.
        if (!CopyEntry(zip.get(), i, stat.size, target, buffer)) {
            error = cannotWrite;
            return false;
        }
        if (stat.valid & ZIP_STAT_MTIME) SetModificationTime(target, stat.mtime);
        if ((kind.unixMode & kUnixTypeMask) != kUnixLink) AddExecuteBits(target, kind.unixMode);
        done += stat.size;
        if (progress) progress(done, total);
    }
    return true;
}

}  // namespace launcher
