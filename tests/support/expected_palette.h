#pragma once
// The launcher's colours as the tests expect to find them in the draw lists (IM_COL32 packs ABGR),
// written out here rather than taken from the theme, so that a wrong colour in the theme shows.

#include <imgui.h>

namespace launcher::test::expected_palette {

inline constexpr ImU32 kText = IM_COL32(0xD8, 0xDE, 0xD3, 0xFF);
inline constexpr ImU32 kMuted = IM_COL32(0xA0, 0xAA, 0x95, 0xFF);
inline constexpr ImU32 kAccent = IM_COL32(0xC4, 0xB5, 0x50, 0xFF);
inline constexpr ImU32 kSuccess = IM_COL32(0x96, 0xC8, 0x78, 0xFF);
inline constexpr ImU32 kFailure = IM_COL32(0xEB, 0x82, 0x69, 0xFF);
inline constexpr ImU32 kPressed = IM_COL32(0x95, 0x88, 0x31, 0xFF);
inline constexpr ImU32 kRaised = IM_COL32(0x4C, 0x58, 0x44, 0xFF);
inline constexpr ImU32 kLine = IM_COL32(0x29, 0x2C, 0x21, 0xFF);
inline constexpr ImU32 kWell = IM_COL32(0x28, 0x2D, 0x23, 0xFF);
inline constexpr ImU32 kWhite = IM_COL32(0xFF, 0xFF, 0xFF, 0xFF);

}  // namespace launcher::test::expected_palette
