#include "app/widgets.h"

#include <cmath>

#include "app/shell.h"
#include "app/theme.h"
#include "platform/text.h"

namespace launcher {
namespace {

// The second underline of a section title: the hover colour, faint.
constexpr ImU32 kUnderlineShade = (palette::kHover & ~IM_COL32_A_MASK) | (0x60u << IM_COL32_A_SHIFT);
ImU32 WithAlpha(ImU32 colour, int alpha) {
    return (colour & ~IM_COL32_A_MASK) | (static_cast<ImU32>(alpha) << IM_COL32_A_SHIFT);
}

void WrappedText(ImU32 colour, const char* text) {
    ImGui::PushStyleColor(ImGuiCol_Text, colour);
    ImGui::TextWrapped("%s", text);
    ImGui::PopStyleColor();
}

}  // namespace

void SectionTitle(const char* text, ImFont* headingFont) {
    const float s = ImGui::GetFontSize();
    ImGui::Dummy(ImVec2(0.0f, 0.5f * s));
    ImGui::PushFont(headingFont);
    ImGui::TextColored(ImGui::ColorConvertU32ToFloat4(palette::kAccent), "%s", text);
    ImGui::PopFont();
    const ImVec2 p = ImGui::GetCursorScreenPos();
    const float w = ImGui::GetContentRegionAvail().x;
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    drawList->AddLine(p, ImVec2(p.x + w, p.y), palette::kLine, 1.0f);
    drawList->AddLine(ImVec2(p.x, p.y + 1.0f), ImVec2(p.x + w, p.y + 1.0f), kUnderlineShade, 1.0f);
    ImGui::Dummy(ImVec2(0.0f, 4.0f));
}

void InfoRow(const char* label, const std::string& value) {
    ImGui::TableNextRow(0, 0.0f);
    ImGui::TableNextColumn();
    WrappedText(palette::kMuted, label);
    ImGui::TableNextColumn();
    WrappedText(palette::kText, value.c_str());
}

void NoticeBox(const App& app, const std::string& error, const std::string& notice, const char* linkLabel) {
    if (!error.empty()) {
        WrappedText(palette::kFailure, error.c_str());
        if (ImGui::SmallButton(linkLabel)) ShellOpen(PathToUtf8(app.baseFolder / "launcher.log"));
    } else if (!notice.empty()) {
        WrappedText(palette::kSuccess, notice.c_str());
    }
}

void StepRow(int state, const char* title, const std::string& defaultDetail, const Status* status) {
    const float s = ImGui::GetFontSize();
    const ImVec2 p = ImGui::GetCursorScreenPos();
    const float w = ImGui::GetContentRegionAvail().x;
    ImGui::Dummy(ImVec2(w, 2.0f * s));
    ImDrawList* drawList = ImGui::GetWindowDrawList();

    if (state == kStepActive) drawList->AddRectFilled(p, ImVec2(p.x + w, p.y + 2.0f * s), palette::kRaised);

    const ImVec2 mark(p.x + 0.45f * s, p.y + 0.5f * s);
    const ImVec2 markEnd(mark.x + s, mark.y + s);
    drawList->AddRectFilled(mark, markEnd, palette::kWell);
    drawList->AddRect(mark, markEnd, palette::kLine, 0.0f, 0, 1.0f);
    if (state == kStepDone) {
        const auto at = [&](float x, float y) { return ImVec2(mark.x + x * s, mark.y + y * s); };
        drawList->AddLine(at(0.2f, 0.5f), at(0.42f, 0.75f), palette::kSuccess, 2.0f);
        drawList->AddLine(at(0.42f, 0.75f), at(0.8f, 0.25f), palette::kSuccess, 2.0f);
    } else if (state == kStepActive) {
        const double pulse = 0.55 + 0.45 * std::sin(4.0 * ImGui::GetTime());
        const float inset = 0.22f * s;
        drawList->AddRectFilled(ImVec2(mark.x + inset, mark.y + inset), ImVec2(markEnd.x - inset, markEnd.y - inset),
                                WithAlpha(palette::kAccent, static_cast<int>(pulse * 255.0)));
    }

    const ImU32 titleColour = state == kStepActive ? palette::kWhite
                              : state == kStepDone ? palette::kText
                                                   : palette::kMuted;
    drawList->AddText(ImVec2(p.x + 2.0f * s, p.y + 0.5f * s), titleColour, title);

    const std::string detail = status != nullptr && !status->detail.empty() ? status->detail : defaultDetail;
    const float detailWidth = ImGui::CalcTextSize(detail.c_str()).x;
    drawList->AddText(ImVec2(p.x + w - detailWidth - 0.6f * s, p.y + 0.5f * s),
                      state == kStepActive ? palette::kAccent : palette::kMuted, detail.c_str());
}

void Hint(const char* text) { WrappedText(palette::kMuted, text); }

}  // namespace launcher
