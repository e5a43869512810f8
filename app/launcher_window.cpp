#include "app/launcher_window.h"

#include <array>
#include <mutex>
#include <string>

#include "app/game_page.h"
#include "app/imgui_compat.h"
#include "app/pages.h"
#include "app/theme.h"
#include "platform/text.h"

namespace launcher {
namespace {

enum Section { kGameSection = 0, kMusicSection = 1, kManageSection = 2, kLogSection = 3 };

struct SectionRow {
    const char* label;
    int value;
};
constexpr std::array<SectionRow, 4> kSections{
    {{"Game", kGameSection}, {"Your music", kMusicSection}, {"Manage", kManageSection}, {"Log", kLogSection}}};

// The window's geometry in units of the font size s at the frame's start.
struct Layout {
    float s;
    ImVec2 pos;   // the window's top-left corner
    ImVec2 size;  // the window's size
    float headerHeight() const { return 2.4f * s; }
    // The header's bottom line takes one pixel of its own.
    float belowHeader() const { return pos.y + headerHeight() + 1.0f; }
    float listWidth() const { return 9.5f * s; }
    float bottomBarHeight() const { return 4.4f * s; }
};

FrameCopy CopyFrame(App& app) {
    FrameCopy frame;
    std::lock_guard<std::mutex> lock(app.mutex);
    frame.status = app.status;
    frame.error = app.error;
    frame.notice = app.notice;
    frame.musicFolder = app.musicFolder;
    frame.busy = app.busy;
    return frame;
}

void Header(const App& app, const Layout& layout, ImFont* headingFont) {
    const float s = layout.s;
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    const float right = layout.pos.x + layout.size.x;
    const float bottom = layout.pos.y + layout.headerHeight();
    drawList->AddRectFilled(layout.pos, ImVec2(right, bottom), palette::kRaised);
    drawList->AddLine(ImVec2(layout.pos.x, bottom), ImVec2(right, bottom), palette::kLine, 1.0f);

    ImFont* titleFont = headingFont != nullptr ? headingFont : ImGui::GetFont();
    const float y = layout.pos.y + 0.7f * s;
    drawList->AddText(titleFont, titleFont->FontSize, ImVec2(layout.pos.x + 0.8f * s, y), palette::kWhite,
                      app.game.title.c_str());
    const std::string version = "Launcher " + app.game.version;
    const float versionWidth = ImGui::CalcTextSize(version.c_str()).x;
    drawList->AddText(ImVec2(right - 0.8f * s - versionWidth, y), palette::kMuted, version.c_str());
}

void SectionList(App& app, const Layout& layout) {
    const float s = layout.s;
    ImGui::SetCursorScreenPos(ImVec2(layout.pos.x, layout.belowHeader()));
    ImGui::PushStyleColor(ImGuiCol_ChildBg, palette::kPanel);
    ImGui::BeginChild("##sections", ImVec2(layout.listWidth(), layout.pos.y + layout.size.y - layout.belowHeader()),
                      false, ImGuiWindowFlags_NoScrollbar);
    ImGui::PopStyleColor();
    ImGui::Dummy(ImVec2(0.0f, 0.3f * s));
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    const ImVec2 rowSize(layout.listWidth(), 1.9f * s);
    for (const SectionRow& row : kSections) {
        if (row.value == kMusicSection && !app.game.music) continue;
        const ImVec2 p = ImGui::GetCursorScreenPos();
        if (ImGui::InvisibleButton(row.label, rowSize)) app.section = row.value;
        const bool selected = app.section == row.value;
        const ImVec2 end(p.x + rowSize.x, p.y + rowSize.y);
        if (selected) {
            drawList->AddRectFilled(p, end, palette::kPressed);
        } else if (ImGui::IsItemHovered()) {
            drawList->AddRectFilled(p, end, palette::kRaised);
        }
        drawList->AddText(ImVec2(p.x + 0.8f * s, p.y + (rowSize.y - s) / 2.0f),
                          selected ? palette::kWhite : palette::kText, row.label);
    }
    ImGui::EndChild();
}

void PageArea(App& app, WindowHandle window, ImFont* headingFont, const Layout& layout, const FrameCopy& frame) {
    const float s = layout.s;
    ImGui::SetCursorScreenPos(ImVec2(layout.pos.x + layout.listWidth(), layout.belowHeader()));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(1.2f * s, 0.8f * s));
    BeginPaddedChild("##page", ImVec2(layout.size.x - layout.listWidth(),
                                      layout.size.y - layout.headerHeight() - 1.0f - layout.bottomBarHeight()));
    ImGui::PopStyleVar();
    if (app.section == kLogSection) {
        LogPage(app);
    } else if (app.section == kManageSection) {
        ManagePage(app, headingFont, frame);
    } else if (app.section == kMusicSection && app.game.music) {
        MusicPage(app, window, headingFont, frame);
    } else {
        GamePage(app, window, headingFont, frame.status, frame.error, frame.notice);
    }
    ImGui::EndChild();
}

void BottomBar(App& app, const Layout& layout, const FrameCopy& frame) {
    const float s = layout.s;
    const ImVec2 topLeft(layout.pos.x + layout.listWidth(), layout.pos.y + layout.size.y - layout.bottomBarHeight());
    const ImVec2 bottomRight(layout.pos.x + layout.size.x, layout.pos.y + layout.size.y);
    ImDrawList* drawList = ImGui::GetWindowDrawList();
    drawList->AddRectFilled(topLeft, bottomRight, palette::kRaised);
    drawList->AddLine(topLeft, ImVec2(bottomRight.x, topLeft.y), palette::kLine, 1.0f);

    const float left = topLeft.x + 1.2f * s;
    ImGui::SetCursorScreenPos(ImVec2(left, topLeft.y + 0.5f * s));
    if (frame.busy) {
        ImGui::TextUnformatted(frame.status.title.empty() ? "Starting..." : frame.status.title.c_str());
        ImGui::SetCursorScreenPos(ImVec2(left, ImGui::GetCursorScreenPos().y));
        const float width = layout.size.x - layout.listWidth() - 2.4f * s - 5.0f * s - ImGui::GetStyle().ItemSpacing.x;
        const float fraction = frame.status.fraction < 0.0 ? -static_cast<float>(ImGui::GetTime())
                                                           : static_cast<float>(frame.status.fraction);
        ProgressBar(fraction, ImVec2(width, 0.0f), frame.status.detail.c_str());
        ImGui::SameLine();
        if (ImGui::Button("Stop", ImVec2(5.0f * s, 0.0f))) app.builder->cancel = true;
    } else {
        ImGui::PushStyleColor(ImGuiCol_Text, palette::kMuted);
        ImGui::TextUnformatted("PC port launcher. Everything goes in");
        ImGui::SetCursorScreenPos(ImVec2(left, ImGui::GetCursorScreenPos().y));
        ImGui::TextUnformatted(PathToUtf8(app.baseFolder).c_str());
        ImGui::PopStyleColor();
    }
}

}  // namespace

void LauncherWindow(App& app, WindowHandle window, ImFont* headingFont) {
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->WorkPos);
    ImGui::SetNextWindowSize(viewport->WorkSize);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::Begin("launcher", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings);
    ImGui::PopStyleVar();

    TakeAdoptedCopy(app);
    const FrameCopy frame = CopyFrame(app);
    const Layout layout{ImGui::GetFontSize(), ImGui::GetWindowPos(), ImGui::GetWindowSize()};
    Header(app, layout, headingFont);
    SectionList(app, layout);
    PageArea(app, window, headingFont, layout, frame);
    BottomBar(app, layout, frame);

    ImGui::End();
}

}  // namespace launcher
