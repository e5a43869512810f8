#pragma once
// Dear ImGui with no window or device: pages are drawn frame by frame and their draw lists read.

#include <imgui.h>

#include <cfloat>
#include <filesystem>
#include <functional>

namespace launcher::test {

// Tahoma and Tahoma Bold from Debian's fonts-wine (cmake/setup.sh installs it); under Wine
// through the Z: drive.
std::filesystem::path WineFontsFolder();

// The assertion hook of the tests: a failed ImGui assertion is a test failure.
void FailOnImGuiAssert(const char* expression, const char* file, int line);

// A fresh ImGui context for one test: no ini file, a 900 x 700 display, a fixed time step, and
// every failed ImGui assertion reported as a test failure.
class HeadlessImGui {
public:
    HeadlessImGui();
    ~HeadlessImGui();
    HeadlessImGui(const HeadlessImGui&) = delete;
    HeadlessImGui& operator=(const HeadlessImGui&) = delete;

    // Builds the font atlas from the fonts added so far (the built-in font when none was).
    void BuildFonts();
    // Runs one frame with one borderless window filling the display, drawn by draw, and returns
    // that window's draw list, which holds the frame until the next one starts. A new window is
    // hidden on its first frame: run two frames or more before reading what it shows.
    ImDrawList* Frame(const std::function<void()>& draw);
    // Runs one frame of draw, which makes its own windows, and renders it.
    void BareFrame(const std::function<void()>& draw);
};

// Inside a frame: one borderless window filling the display, drawn by draw; returns its draw list.
ImDrawList* DisplayWindow(const std::function<void()>& draw);

// Where a widget's vertices start and end in the window's draw list.
struct Drawn {
    int from = 0;
    int to = 0;
};
Drawn Record(const std::function<void()>& draw);

// The vertices of one colour (packed as IM_COL32) that a widget drew, optionally only those with
// left <= x < right.
struct Shape {
    int vertices = 0;
    ImVec2 min{0.0f, 0.0f};
    ImVec2 max{0.0f, 0.0f};
    // The first vertex (a glyph quad's top-left corner for text).
    ImDrawVert first{};
    // Text is one quad of four vertices a visible character.
    int glyphs() const { return vertices / 4; }
};
Shape ShapeOf(const ImDrawList& list, ImU32 colour, const Drawn& drawn, float left = -FLT_MAX, float right = FLT_MAX);

}  // namespace launcher::test
