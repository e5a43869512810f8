#include <mutex>
#include <string>

#include "app/page_tasks.h"
#include "app/pages.h"
#include "app/widgets.h"
#include "platform/text.h"

namespace launcher {

void MusicPage(App& app, WindowHandle window, ImFont* headingFont, const FrameCopy& frame) {
    SectionTitle("Your music", headingFont);
    ImGui::TextWrapped(
        "%s",
        "The game plays Xbox custom soundtracks. Choose a folder of your own music: each folder in it becomes a "
        "soundtrack (MP3, FLAC, OGG, Opus, M4A, AAC, WAV, WMA, AIFF), and the songs in the folder itself one more. "
        "They are converted for the game (ffmpeg, about 90 MB, downloaded the first time; nothing is installed). In "
        "the game they are with the custom soundtracks.");
    const bool hasFolder = !frame.musicFolder.empty();
    if (hasFolder) Hint(("Your music: " + PathToUtf8(frame.musicFolder)).c_str());

    ImGui::BeginDisabled(frame.busy);
    if (ImGui::Button("Choose a music folder...")) {
        const std::wstring picked = PickPath(window, true, L"Choose a folder of your music");
        if (!picked.empty()) StartMusicImport(app, WidePath(picked));
    }
    if (hasFolder) {
        ImGui::SameLine();
        if (ImGui::Button("Update my music")) StartMusicImport(app, frame.musicFolder);
    }
    ImGui::EndDisabled();
    if (hasFolder) Hint("After adding or changing songs: only those are converted.");

    if (!frame.busy && app.musicResultShown) {
        std::string result;
        {
            std::lock_guard<std::mutex> lock(app.mutex);
            result = app.musicResult;
        }
        const std::string notice = frame.notice.empty() || result.empty() ? frame.notice : frame.notice + " " + result;
        NoticeBox(app, frame.error, notice, "Open launcher.log##music");
    }
}

}  // namespace launcher
