#include "music/soundtrack_db.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "platform/little_endian.h"

namespace launcher {
namespace {

constexpr std::size_t kBlock = 0x200;
constexpr std::size_t kGroupsStart = 0xCA00;  // the header and the 100 soundtrack slots come first
constexpr std::size_t kSongsPerGroup = 6;
constexpr std::size_t kMaxNameUnits = 31;

// Header.
constexpr std::size_t kHeaderSoundtrackIds = 0x00C;
// Soundtrack block.
constexpr std::uint32_t kSoundtrackMagic = 0x00021371;
constexpr std::size_t kSoundtrackGroups = 0x00C;
constexpr std::size_t kSoundtrackTotalMs = 0x15C;
constexpr std::size_t kSoundtrackName = 0x160;
// Song group block.
constexpr std::uint32_t kGroupMagic = 0x00031073;
constexpr std::size_t kGroupSongIds = 0x010;
constexpr std::size_t kGroupSongMs = 0x028;
constexpr std::size_t kGroupNames = 0x040;
constexpr std::size_t kGroupNameSize = 0x40;

// Lenient UTF-8 decoding: one code point from text[pos], advancing pos past it.
char32_t DecodeLenient(const std::string& text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos++]);
    int continuation = 0;
    char32_t value = lead;
    if (lead >= 0xF0) {
        continuation = 3;
        value = lead & 0x07;
    } else if (lead >= 0xE0) {
        continuation = 2;
        value = lead & 0x0F;
    } else if (lead >= 0xC0) {
        continuation = 1;
        value = lead & 0x1F;
    }
    for (int i = 0; i < continuation && pos < text.size(); ++i) {
        value = (value << 6) | (static_cast<unsigned char>(text[pos++]) & 0x3F);
    }
    return value;
}

}  // namespace

std::string SongPath(std::uint32_t soundtrackId, std::uint32_t songIndex) {
    char text[32];
    std::snprintf(text, sizeof text, "%04x/%08x.WMA", soundtrackId, (soundtrackId << 16) | songIndex);
    return text;
}

bool IsSongPath(const std::string& name) {
    constexpr std::string_view kForm = "xxxx/xxxxxxxx.WMA";
    if (name.size() != kForm.size()) return false;
    for (std::size_t i = 0; i < kForm.size(); ++i) {
        const char c = name[i];
        const bool hexDigit = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        if (kForm[i] == 'x' ? !hexDigit : c != kForm[i]) return false;
    }
    return true;
}

void WriteDbName(std::string& image, std::size_t offset, const std::string& name) {
    std::u16string units;
    for (std::size_t pos = 0; pos < name.size();) {
        const char32_t c = DecodeLenient(name, pos);
        if (c > 0xFFFF) {
            if (units.size() + 2 > kMaxNameUnits) break;
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            if (units.size() + 1 > kMaxNameUnits) break;
            units += static_cast<char16_t>(c);
        }
    }
    for (std::size_t i = 0; i < units.size(); ++i) {
        image[offset + 2 * i] = static_cast<char>(units[i] & 0xFF);
        image[offset + 2 * i + 1] = static_cast<char>(units[i] >> 8);
    }
}

std::string BuildSoundtrackDb(const std::vector<Soundtrack>& soundtracks) {
    std::size_t groups = 0;
    for (const Soundtrack& soundtrack : soundtracks) {
        groups += (soundtrack.songs.size() + kSongsPerGroup - 1) / kSongsPerGroup;
    }
    std::string image(kGroupsStart + kBlock * groups, '\0');

    const std::size_t count = std::min(soundtracks.size(), kMaxSoundtracks);
    WriteLe32(image, 0x000, 1);
    WriteLe32(image, 0x004, static_cast<std::uint32_t>(count));
    WriteLe32(image, 0x008, static_cast<std::uint32_t>(count + 1));
    for (std::size_t i = 0; i < count; ++i) {
        WriteLe32(image, kHeaderSoundtrackIds + 4 * i, static_cast<std::uint32_t>(i + 1));
    }

    std::uint32_t groupNumber = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Soundtrack& soundtrack = soundtracks[i];
        const auto id = static_cast<std::uint32_t>(i + 1);
        const std::size_t block = kBlock * id;
        const std::size_t songs = soundtrack.songs.size();
        WriteLe32(image, block, kSoundtrackMagic);
        WriteLe32(image, block + 0x004, id);
        WriteLe32(image, block + 0x008, static_cast<std::uint32_t>(songs));
        std::uint32_t totalMs = 0;  // wraps, as the dashboard's own sum does
        for (std::size_t g = 0; g * kSongsPerGroup < songs; ++g, ++groupNumber) {
            WriteLe32(image, block + kSoundtrackGroups + 4 * g, groupNumber);
            const std::size_t group = kGroupsStart + kBlock * groupNumber;
            WriteLe32(image, group, kGroupMagic);
            WriteLe32(image, group + 0x004, id);
            WriteLe32(image, group + 0x008, static_cast<std::uint32_t>(g));
            for (std::size_t j = 0; j < kSongsPerGroup && g * kSongsPerGroup + j < songs; ++j) {
                const std::size_t index = g * kSongsPerGroup + j;
                const Song& song = soundtrack.songs[index];
                WriteLe32(image, group + kGroupSongIds + 4 * j, (id << 16) | static_cast<std::uint32_t>(index));
                WriteLe32(image, group + kGroupSongMs + 4 * j, static_cast<std::uint32_t>(song.ms));
                WriteDbName(image, group + kGroupNames + kGroupNameSize * j, song.name);
                totalMs += static_cast<std::uint32_t>(song.ms);
            }
        }
        WriteLe32(image, block + kSoundtrackTotalMs, totalMs);
        WriteDbName(image, block + kSoundtrackName, soundtrack.name);
    }
    return image;
}

}  // namespace launcher
