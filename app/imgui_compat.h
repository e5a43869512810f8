#pragma once
// The few calls Dear ImGui 1.86 spells differently from the later ImGui the window was laid out
// with: child windows take a border flag and window flags (later: child flags), and a negative
// progress fraction draws an empty bar (later: a segment that moves with the fraction).

#include <imgui.h>

namespace launcher {

// A borderless child window that keeps the pushed WindowPadding (1.86 drops it without a border).
bool BeginPaddedChild(const char* id, const ImVec2& size, ImGuiWindowFlags flags = 0);

// A child window with a border, which also keeps the window padding.
bool BeginBorderedChild(const char* id, const ImVec2& size, ImGuiWindowFlags flags = 0);

// ImGui::ProgressBar for a fraction from 0 to 1. A negative fraction draws the indeterminate bar: a
// segment a fifth of the bar wide whose place follows -fraction (mod 1), so that passing the negated
// ImGui time moves it; the overlay is then centred.
void ProgressBar(float fraction, const ImVec2& size, const char* overlay);

}  // namespace launcher
