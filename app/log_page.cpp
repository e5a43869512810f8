#include <mutex>
#include <string>

#include "app/imgui_compat.h"
#include "app/pages.h"
#include "app/theme.h"

namespace launcher {

void LogPage(App& app) {
    ImGui::PushStyleColor(ImGuiCol_ChildBg, palette::kWell);
    BeginBorderedChild("log", ImVec2(0.0f, 0.0f), ImGuiWindowFlags_HorizontalScrollbar);
    ImGui::PopStyleColor();
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        for (const std::string& line : app.log) ImGui::TextUnformatted(line.data(), line.data() + line.size());
    }
    // A view at the bottom follows new lines; one scrolled up stays where the user put it.
    if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - ImGui::GetFontSize()) ImGui::SetScrollHereY(1.0f);
    ImGui::EndChild();
}

}  // namespace launcher
