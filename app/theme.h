#pragma once
// The launcher's one look: the palette, the style and colours, and the fonts, all scaled by the
// window's DPI once at start. Drawing goes through Dear ImGui only, so it works without a window.

#include <imgui.h>

#include <filesystem>

namespace launcher {

// The palette as ImGui packs colours (IM_COL32 is ABGR in memory: never write 0xRRGGBB here).
namespace palette {
inline constexpr ImU32 kText = IM_COL32(0xD8, 0xDE, 0xD3, 0xFF);
inline constexpr ImU32 kMuted = IM_COL32(0xA0, 0xAA, 0x95, 0xFF);
inline constexpr ImU32 kBackground = IM_COL32(0x3E, 0x46, 0x37, 0xFF);
inline constexpr ImU32 kPanel = IM_COL32(0x2E, 0x34, 0x29, 0xFF);
inline constexpr ImU32 kLine = IM_COL32(0x29, 0x2C, 0x21, 0xFF);
inline constexpr ImU32 kWell = IM_COL32(0x28, 0x2D, 0x23, 0xFF);
inline constexpr ImU32 kRaised = IM_COL32(0x4C, 0x58, 0x44, 0xFF);
inline constexpr ImU32 kHover = IM_COL32(0x88, 0x91, 0x80, 0xFF);
inline constexpr ImU32 kPressed = IM_COL32(0x95, 0x88, 0x31, 0xFF);
inline constexpr ImU32 kAccent = IM_COL32(0xC4, 0xB5, 0x50, 0xFF);
inline constexpr ImU32 kSuccess = IM_COL32(0x96, 0xC8, 0x78, 0xFF);
inline constexpr ImU32 kFailure = IM_COL32(0xEB, 0x82, 0x69, 0xFF);
inline constexpr ImU32 kWhite = IM_COL32(0xFF, 0xFF, 0xFF, 0xFF);
}  // namespace palette

// Replaces the current context's style with the launcher's, every size scaled by scale.
void ApplyStyle(float scale);
// Square corners, thin borders, ImGui's dark colours and then the palette's slots.
void SetThemeColors(ImGuiStyle& style);
// Adds the body font (the default) and the heading font from the fonts folder to the current
// context's atlas; returns the heading font, which is the body font when the bold face is missing.
ImFont* LoadFonts(const std::filesystem::path& fontsFolder, float scale);

}  // namespace launcher
