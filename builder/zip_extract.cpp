#include "builder/zip_extract.h"

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

#include "builder/archive_path.h"
#include "platform/file_mode.h"
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
// zip_fread returns 0 and the close result counts too.
bool CopyEntry(zip_t* zip, zip_uint64_t index, const fs::path& target, std::vector<char>& buffer) {
    zip_file_t* entry = zip_fopen_index(zip, index, 0);
    if (entry == nullptr) return false;
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    bool ok = static_cast<bool>(out);
    while (ok) {
        const zip_int64_t read = zip_fread(entry, buffer.data(), buffer.size());
        if (read == 0) break;
        ok = read > 0 && out.write(buffer.data(), static_cast<std::streamsize>(read));
    }
    if (zip_fclose(entry) != 0) ok = false;
    out.close();
    return ok && !out.fail();
}

void SetModificationTime(const fs::path& target, time_t mtime) {
    std::error_code ec;
    fs::last_write_time(target, fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(mtime)), ec);
}

}  // namespace

bool ExtractZip(const fs::path& archive, const fs::path& destination, const EntryRename& rename,
                const ExtractProgress& progress, const std::atomic<bool>* cancel, std::string& error) {
    const std::string archiveText = PathToUtf8(archive);
    int openError = 0;
    // No ZIP_CHECKCONS: a later entry of the same name is accepted and overwrites the earlier one.
    ZipArchive zip(zip_open(archiveText.c_str(), ZIP_RDONLY, &openError));
    if (!zip) {
        error = "cannot open " + archiveText + " as a zip";
        return false;
    }
    const zip_int64_t count = std::max<zip_int64_t>(zip_get_num_entries(zip.get(), 0), 0);
    const auto entries = static_cast<zip_uint64_t>(count);

    // Names are read raw: without ZIP_FL_ENC_RAW libzip takes names without the UTF-8 flag for
    // CP437 and converts them.
    std::uint64_t total = 0;
    for (zip_uint64_t i = 0; i < entries; ++i) {
        zip_stat_t stat;
        if (zip_stat_index(zip.get(), i, ZIP_FL_ENC_RAW, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE)) {
            total += stat.size;
        }
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
            error = "unsafe path in " + archiveText + ": " + name;
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
        const bool supported = (stat.valid & ZIP_STAT_COMP_METHOD) &&
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
        if (!CopyEntry(zip.get(), i, target, buffer)) {
            error = cannotWrite;
            return false;
        }
        if (stat.valid & ZIP_STAT_MTIME) SetModificationTime(target, stat.mtime);
        if ((kind.unixMode & kUnixTypeMask) != kUnixLink) AddExecuteBits(target, kind.unixMode);
        if (stat.valid & ZIP_STAT_SIZE) done += stat.size;
        if (progress) progress(done, total);
    }
    return true;
}

}  // namespace launcher
