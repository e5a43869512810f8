#include <mutex>
#include <string>
#include <vector>

#include "app/imgui_compat.h"
#include "app/pages.h"
#include "app/theme.h"

namespace launcher {

void LogPage(App& app) {
    ImGui::PushStyleColor(ImGuiCol_ChildBg, palette::kWell);
    BeginBorderedChild("log", ImVec2(0.0f, 0.0f), ImGuiWindowFlags_HorizontalScrollbar);
    ImGui::PopStyleColor();
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        count = static_cast<int>(app.log.size());
    }
    // Only the lines in view are copied, under the lock, and laid out, outside it: the task thread
    // that logs waits for no more than that.
    // Every line is one row of text: with the height given, not even the first line is laid out
    // when it is out of view.
    ImGuiListClipper clipper;
    clipper.Begin(count, ImGui::GetTextLineHeightWithSpacing());
    std::vector<std::string> lines;
    while (clipper.Step()) {
        lines.clear();
        {
            std::lock_guard<std::mutex> lock(app.mutex);
            // The log only grows or, full, moves on by a line: the indices stay inside it.
            for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) lines.push_back(app.log[i]);
        }
        for (const std::string& line : lines) ImGui::TextUnformatted(line.data(), line.data() + line.size());
    }
    // A view at the bottom follows new lines; one scrolled up stays where the user put it.
    if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - ImGui::GetFontSize()) ImGui::SetScrollHereY(1.0f);
    ImGui::EndChild();
}

}  // namespace launcher
