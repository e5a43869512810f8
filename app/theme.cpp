#include "app/theme.h"

namespace launcher {
namespace {

// A palette colour as a style slot's floats (each byte / 255), with its own alpha.
ImVec4 Slot(ImU32 colour, float alpha = 1.0f) {
    const auto byte = [colour](int shift) { return static_cast<float>((colour >> shift) & 0xFF) / 255.0f; };
    return ImVec4(byte(IM_COL32_R_SHIFT), byte(IM_COL32_G_SHIFT), byte(IM_COL32_B_SHIFT), alpha);
}

ImVec4 Black(float alpha) { return ImVec4(0.0f, 0.0f, 0.0f, alpha); }

}  // namespace

void SetThemeColors(ImGuiStyle& style) {
    style.WindowRounding = 0.0f;
    style.ChildRounding = 0.0f;
    style.PopupRounding = 0.0f;
    style.FrameRounding = 0.0f;
    style.ScrollbarRounding = 0.0f;
    style.GrabRounding = 0.0f;
    style.TabRounding = 0.0f;
    style.WindowBorderSize = 1.0f;
    style.ChildBorderSize = 0.0f;
    style.PopupBorderSize = 1.0f;
    style.FrameBorderSize = 1.0f;

    ImGui::StyleColorsDark(&style);
    ImVec4* c = style.Colors;
    c[ImGuiCol_Text] = Slot(palette::kText);
    c[ImGuiCol_TextDisabled] = Slot(palette::kMuted);
    c[ImGuiCol_WindowBg] = Slot(palette::kBackground);
    c[ImGuiCol_ChildBg] = Black(0.0f);
    c[ImGuiCol_TableRowBg] = Black(0.0f);
    c[ImGuiCol_PopupBg] = Slot(palette::kPanel);
    for (ImGuiCol slot : {ImGuiCol_Border, ImGuiCol_Separator, ImGuiCol_SeparatorHovered, ImGuiCol_SeparatorActive,
                          ImGuiCol_TableBorderStrong, ImGuiCol_TableBorderLight}) {
        c[slot] = Slot(palette::kLine);
    }
    c[ImGuiCol_BorderShadow] = Slot(palette::kHover, 0.35f);
    for (ImGuiCol slot : {ImGuiCol_FrameBg, ImGuiCol_FrameBgHovered, ImGuiCol_FrameBgActive, ImGuiCol_ScrollbarBg}) {
        c[slot] = Slot(palette::kWell);
    }
    for (ImGuiCol slot : {ImGuiCol_TitleBg, ImGuiCol_TitleBgActive, ImGuiCol_TitleBgCollapsed, ImGuiCol_ScrollbarGrab,
                          ImGuiCol_Button, ImGuiCol_ResizeGrip, ImGuiCol_TableHeaderBg}) {
        c[slot] = Slot(palette::kRaised);
    }
    for (ImGuiCol slot : {ImGuiCol_ScrollbarGrabHovered, ImGuiCol_ScrollbarGrabActive, ImGuiCol_ButtonHovered}) {
        c[slot] = Slot(palette::kHover);
    }
    for (ImGuiCol slot : {ImGuiCol_ButtonActive, ImGuiCol_Header, ImGuiCol_HeaderHovered, ImGuiCol_HeaderActive,
                          ImGuiCol_PlotHistogram, ImGuiCol_PlotHistogramHovered}) {
        c[slot] = Slot(palette::kPressed);
    }
    for (ImGuiCol slot : {ImGuiCol_CheckMark, ImGuiCol_ResizeGripHovered, ImGuiCol_ResizeGripActive,
                          ImGuiCol_NavHighlight, ImGuiCol_NavWindowingHighlight}) {
        c[slot] = Slot(palette::kAccent);
    }
    c[ImGuiCol_TableRowBgAlt] = Black(0.12f);
    c[ImGuiCol_ModalWindowDimBg] = Black(0.45f);
}

void ApplyStyle(float scale) {
    // A fresh style each time, so that applying it again does not scale twice.
    ImGuiStyle style;
    SetThemeColors(style);
    style.WindowPadding = ImVec2(0.0f, 0.0f);
    style.FramePadding = ImVec2(10.0f, 5.0f);
    style.ItemSpacing = ImVec2(8.0f, 6.0f);
    style.ItemInnerSpacing = ImVec2(6.0f, 4.0f);
    style.ScrollbarSize = 14.0f;
    style.GrabMinSize = 12.0f;
    // Dear ImGui 1.86 floors every scaled size (FramePadding 10, 5 becomes 15, 7 at 1.5) and leaves
    // the border sizes alone.
    style.ScaleAllSizes(scale);
    ImGui::GetStyle() = style;
}

}  // namespace launcher
