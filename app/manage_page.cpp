#include <cstdint>
#include <mutex>
#include <string>

#include "app/page_tasks.h"
#include "app/pages.h"
#include "app/widgets.h"
#include "platform/text.h"

namespace launcher {
namespace {

std::string GameState(Builder& builder, bool installed) {
    if (builder.GameCodeMissing()) {
        const std::string built = builder.BuiltVersion();
        return (built.empty() ? "an earlier version" : built) + ", built the old way: update it on Game";
    }
    if (!installed) return "not ready yet";
    const std::string built = builder.BuiltVersion();
    return built.empty() ? "ready" : built;
}

// A task button: disabled when it may not start; a press takes the page's outcome back from the
// Your music page and starts the task.
template <typename Task>
void TaskButton(App& app, const std::string& label, bool disabled, Task task, const char* doneMessage) {
    ImGui::BeginDisabled(disabled);
    if (ImGui::Button(label.c_str())) {
        app.musicResultShown = false;
        app.RunTask(task, doneMessage);
    }
    ImGui::EndDisabled();
}

}  // namespace

void ManagePage(App& app, ImFont* headingFont, const FrameCopy& frame) {
    Builder& builder = *app.builder;
    const bool installed = builder.IsInstalled();
    const bool busy = frame.busy;
    const float s = ImGui::GetFontSize();

    SectionTitle("This install", headingFont);
    if (ImGui::BeginTable("install", 2)) {
        ImGui::TableSetupColumn("name", ImGuiTableColumnFlags_WidthFixed, 10.0f * s);
        ImGui::TableSetupColumn("value", ImGuiTableColumnFlags_WidthStretch);
        InfoRow("Launcher", app.game.version);
        InfoRow("Game", GameState(builder, installed));
        InfoRow("Your copy", app.source.ok ? app.source.region + ", " + PathToUtf8(app.source.source) : "not chosen");
        InfoRow("Folder", PathToUtf8(app.baseFolder));
        InfoRow("Free on this drive", FormatSize(FreeSpace(app.baseFolder)));
        ImGui::EndTable();
    }

    SectionTitle("Folders", headingFont);
    ImGui::BeginDisabled(!installed);
    if (ImGui::Button("Open the game's folder")) ShellOpenW(builder.PlayFolder());
    ImGui::EndDisabled();
    ImGui::SameLine();
    if (ImGui::Button("Open launcher.log")) ShellOpen(PathToUtf8(app.baseFolder / "launcher.log"));

    SectionTitle("Space and repairs", headingFont);
    std::uint64_t buildFilesSize = 0;
    std::uint64_t toolsSize = 0;
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        buildFilesSize = app.buildFilesSize;
        toolsSize = app.toolsSize;
    }
    TaskButton(app, "Remove the build files (" + FormatSize(buildFilesSize) + ")",
               busy || buildFilesSize == 0 || !installed, RemoveBuildFilesTask{app},
               "Build files removed. An update builds everything again.");
    Hint("Frees space once the game is built. Your saves, settings and music are not touched.");

    if (!InPackageMode(builder.game)) return;
    if (toolsSize != 0) {
        TaskButton(app, "Remove the old build tools (" + FormatSize(toolsSize) + ")", busy || !installed,
                   RemoveOldToolsTask{app}, "The old build tools are removed.");
        Hint(installed ? "The earlier versions built the game with these; this one does not need them. FFmpeg, for "
                         "your music, stays."
                       : "Once the game is updated: the earlier versions built it with these.");
    }
    TaskButton(app, "Build the game again", busy || !app.source.ok || !installed, RebuildTask{app},
               "The game is ready. Press Play.");
    Hint("If the game will not start. Takes a minute or two, and keeps your saves.");
}

}  // namespace launcher
