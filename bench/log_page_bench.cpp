// The Log page's cost per frame, drawn headless at the window's size with the log full (2000 lines
// of 10 kB, kept cut to 4 KiB; then the same with one line of 4 MB), and the longest wait of a
// thread that logs meanwhile, as the task thread does. The reference, in the same run: every kept
// line laid out under the App's mutex, as a page without a clipper does. Fails when a frame's
// median passes the bound.
//   log_page_bench [FRAMES]
#include <imgui.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app.h"
#include "app/imgui_compat.h"
#include "app/pages.h"
#include "app/theme.h"
#include "tests/support/headless_imgui.h"
#include "tests/support/temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

// The bound on the median frame of the Log page, in milliseconds.
constexpr double kFrameBound = 2.0;

// Every kept line laid out while the lock is held.
void UnclippedLogPage(launcher::App& app) {
    launcher::BeginBorderedChild("log", ImVec2(0.0f, 0.0f), ImGuiWindowFlags_HorizontalScrollbar);
    {
        std::lock_guard<std::mutex> lock(app.mutex);
        for (const std::string& line : app.log) ImGui::TextUnformatted(line.data(), line.data() + line.size());
    }
    if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - ImGui::GetFontSize()) ImGui::SetScrollHereY(1.0f);
    ImGui::EndChild();
}

struct Figures {
    double frameMedian = 0.0;  // ms
    double longestWait = 0.0;  // ms, of the logging thread for the mutex
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

Figures Measure(launcher::test::HeadlessImGui& imgui, launcher::App& app, void (*page)(launcher::App&), int frames) {
    const auto draw = [&] { page(app); };
    for (int i = 0; i < 3; ++i) imgui.Frame(draw);

    std::atomic<bool> drawing{true};
    double longest = 0.0;
    std::thread logger([&] {
        while (drawing) {
            const Clock::time_point asked = Clock::now();
            { std::lock_guard<std::mutex> lock(app.mutex); }
            longest = std::max(longest, Milliseconds(Clock::now() - asked));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    std::vector<double> times;
    for (int i = 0; i < frames; ++i) {
        const Clock::time_point start = Clock::now();
        imgui.Frame(draw);
        times.push_back(Milliseconds(Clock::now() - start));
    }
    drawing = false;
    logger.join();
    std::sort(times.begin(), times.end());
    return Figures{times[times.size() / 2], longest};
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    launcher::test::TempFolder temp;
    launcher::App app;
    app.builder = std::make_unique<launcher::Builder>(app.game, temp.path(), app.http.get(), app.platform.get());

    launcher::test::HeadlessImGui imgui;
    launcher::ApplyStyle(1.0f);
    launcher::LoadFonts(launcher::test::WineFontsFolder(), 1.0f);
    imgui.BuildFonts();

    bool withinBound = true;
    const auto run = [&](const char* what) {
        const Figures ours = Measure(imgui, app, launcher::LogPage, frames);
        const Figures reference = Measure(imgui, app, UnclippedLogPage, frames);
        std::printf("%s: frame median %.3f ms (every line laid out: %.3f ms, %.1fx), longest wait to log %.3f ms "
                    "(%.3f ms)\n",
                    what, ours.frameMedian, reference.frameMedian, reference.frameMedian / ours.frameMedian,
                    ours.longestWait, reference.longestWait);
        if (ours.frameMedian > kFrameBound) {
            std::printf("%s: the frame's median passes the bound of %.1f ms\n", what, kFrameBound);
            withinBound = false;
        }
    };

    for (int i = 0; i < 2000; ++i) launcher::OnLogLine(app, std::string(10000, static_cast<char>('a' + i % 26)));
    run("2000 lines of 10 kB");
    launcher::OnLogLine(app, std::string(4u << 20, 'z'));
    run("the same with a line of 4 MB");
    return withinBound ? 0 : 1;
}
