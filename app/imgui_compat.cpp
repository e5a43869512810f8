#include "app/imgui_compat.h"

#include <imgui_internal.h>

namespace launcher {
namespace {

// The indeterminate segment's width, as a share of the bar.
constexpr float kSegmentWidth = 0.2f;

}  // namespace

bool BeginPaddedChild(const char* id, const ImVec2& size, ImGuiWindowFlags flags) {
    return ImGui::BeginChild(id, size, false, flags | ImGuiWindowFlags_AlwaysUseWindowPadding);
}

bool BeginBorderedChild(const char* id, const ImVec2& size, ImGuiWindowFlags flags) {
    return ImGui::BeginChild(id, size, true, flags);
}

void ProgressBar(float fraction, const ImVec2& size, const char* overlay) {
    if (!(fraction < 0.0f)) {
        ImGui::ProgressBar(fraction, size, overlay);
        return;
    }
    ImGuiWindow* window = ImGui::GetCurrentWindow();
    if (window->SkipItems) return;
    const ImGuiStyle& style = ImGui::GetStyle();

    // Laid out as ImGui::ProgressBar lays out its bar.
    const ImVec2 pos = window->DC.CursorPos;
    const ImVec2 barSize =
        ImGui::CalcItemSize(size, ImGui::CalcItemWidth(), ImGui::GetFontSize() + style.FramePadding.y * 2.0f);
    ImRect bb(pos, ImVec2(pos.x + barSize.x, pos.y + barSize.y));
    ImGui::ItemSize(barSize, style.FramePadding.y);
    if (!ImGui::ItemAdd(bb, 0)) return;

    // The segment enters at the left edge and leaves at the right one, once per unit of fraction.
    float start = ImFmod(-fraction, 1.0f) * (1.0f + kSegmentWidth) - kSegmentWidth;
    const float end = ImSaturate(start + kSegmentWidth);
    start = ImSaturate(start);

    ImGui::RenderFrame(bb.Min, bb.Max, ImGui::GetColorU32(ImGuiCol_FrameBg), true, style.FrameRounding);
    bb.Expand(ImVec2(-style.FrameBorderSize, -style.FrameBorderSize));
    ImGui::RenderRectFilledRangeH(window->DrawList, bb, ImGui::GetColorU32(ImGuiCol_PlotHistogram), start, end,
                                  style.FrameRounding);

    if (overlay == nullptr) return;
    const ImVec2 overlaySize = ImGui::CalcTextSize(overlay);
    if (overlaySize.x <= 0.0f) return;
    const float x = ImClamp((bb.Min.x + bb.Max.x - overlaySize.x) * 0.5f, bb.Min.x,
                            bb.Max.x - overlaySize.x - style.ItemInnerSpacing.x);
    ImGui::RenderTextClipped(ImVec2(x, bb.Min.y), bb.Max, overlay, nullptr, &overlaySize, ImVec2(0.0f, 0.5f), &bb);
}

}  // namespace launcher
