#include <cstdint>
#include <cstring>
#include <fstream>

#include "app/theme.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

constexpr float kFontPixels = 15.0f;
constexpr float kBuiltinFontPixels = 13.0f;

// The signatures a TrueType or OpenType file (or collection) starts with.
bool LooksLikeFont(const char* data, std::size_t size) {
    if (size < 4) return false;
    static const char* const kTags[] = {"\x00\x01\x00\x00", "true", "OTTO", "ttcf"};
    for (const char* tag : kTags) {
        if (std::memcmp(data, tag, 4) == 0) return true;
    }
    return false;
}

// Adds a font file at size pixels with no configuration and no glyph ranges (Latin-1). The file is
// read here rather than by AddFontFromFileTTF: ImGui 1.86 asserts on a file it cannot open, and
// built with MinGW it opens the UTF-8 name with the narrow fopen, which fails for a folder whose name
// the ANSI code page cannot hold. A file that is not a font is left out, as the atlas would not build.
ImFont* AddFontFile(ImFontAtlas& atlas, const fs::path& file, float size) {
    std::error_code ec;
    const std::uintmax_t length = fs::file_size(file, ec);
    if (ec || length == 0 || length > static_cast<std::uintmax_t>(INT32_MAX)) return nullptr;
    std::ifstream in(file, std::ios::binary);
    if (!in) return nullptr;
    // The atlas takes ownership of memory from ImGui's allocator.
    char* data = static_cast<char*>(IM_ALLOC(length));
    if (!in.read(data, static_cast<std::streamsize>(length)) || !LooksLikeFont(data, length)) {
        IM_FREE(data);
        return nullptr;
    }
    return atlas.AddFontFromMemoryTTF(data, static_cast<int>(length), size);
}

}  // namespace

ImFont* LoadFonts(const fs::path& fontsFolder, float scale) {
    ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
    // The first font added is the default one.
    AddFontFile(atlas, fontsFolder / "tahoma.ttf", kFontPixels * scale);
    if (atlas.Fonts.empty()) {
        ImFontConfig builtin;
        builtin.SizePixels = kBuiltinFontPixels * scale;
        atlas.AddFontDefault(&builtin);
    }
    if (ImFont* heading = AddFontFile(atlas, fontsFolder / "tahomabd.ttf", kFontPixels * scale)) return heading;
    return atlas.Fonts[0];
}

}  // namespace launcher
