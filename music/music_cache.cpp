#include "music/music_cache.h"

#include <chrono>
#include <limits>

#include "builder/builder.h"
#include "music/soundtrack_db.h"
#include "platform/outside_json.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;

const MusicCache* Member(const MusicCache& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

}  // namespace

std::uint64_t SourceFileSize(const fs::path& file) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    return ec ? kUnknownFileSize : static_cast<std::uint64_t>(size);
}

std::int64_t SourceFileTime(const fs::path& file) {
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(file, ec);
    if (ec) return kUnknownFileTime;
    // Through the system clock, as file_clock::to_sys would do it: the file clock's own count has
    // another epoch (and unit) on each build. Its epoch is placed first and the counts are added as
    // ticks, so that no time a file can carry overflows on the way.
    const auto fileEpoch = std::chrono::file_clock::to_sys(fs::file_time_type{}).time_since_epoch();
    return std::chrono::floor<Ticks>(written.time_since_epoch()).count() +
           std::chrono::floor<Ticks>(fileEpoch).count() + kTicksFrom1601To1970;
}

MusicCache LoadMusicCache(const fs::path& file) {
    std::string text;
    MusicCache cache;
    if (!LoadFile(file, text) || !ParseOutsideJson(text, cache) || !cache.is_object()) return MusicCache::object();
    return cache;
}

std::optional<MusicCacheEntry> FindMusicCacheEntry(const MusicCache& cache, const std::string& key) {
    const auto it = cache.find(key);
    if (it == cache.end() || !it->is_object()) return std::nullopt;
    MusicCacheEntry entry;
    if (const MusicCache* size = Member(*it, "size"); size != nullptr && size->is_number_unsigned()) {
        entry.size = size->get<std::uint64_t>();
    }
    if (const MusicCache* time = Member(*it, "time"); time != nullptr && time->is_number_integer()) {
        const bool fits =
            !time->is_number_unsigned() ||
            time->get<std::uint64_t>() <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        if (fits) entry.time = time->get<std::int64_t>();
    }
    if (const MusicCache* file = Member(*it, "file"); file != nullptr && file->is_string()) {
        const std::string& text = file->get_ref<const std::string&>();
        if (IsSongPath(text)) entry.file = text;
    }
    if (const MusicCache* name = Member(*it, "name"); name != nullptr && name->is_string()) {
        entry.name = name->get<std::string>();
    }
    if (const MusicCache* ms = Member(*it, "ms");
        ms != nullptr && ms->is_number_unsigned() &&
        ms->get<std::uint64_t>() <= std::numeric_limits<std::uint32_t>::max()) {
        entry.ms = static_cast<std::int32_t>(ms->get<std::uint32_t>());
    }
    return entry;
}

void SetMusicCacheEntry(MusicCache& cache, const std::string& key, std::uint64_t size, std::int64_t time,
                        const std::string& file, const std::string& name, std::int32_t ms) {
    cache[key] = {
        {"file", file}, {"ms", static_cast<std::uint32_t>(ms)}, {"name", name}, {"size", size}, {"time", time}};
}

std::string MusicCacheText(const MusicCache& cache) {
    return cache.dump(1, ' ', false, MusicCache::error_handler_t::replace);
}

}  // namespace launcher
