#pragma once
// Reads a page the way ImGui drew it, for the tests of every page: its items through ImGui's own
// item hooks, its texts from the windows' draw lists after Render, and clicks through ImGui's
// mouse input. Nothing is traced by the page itself.
//
//   test::PageReader page;                       // a headless ImGui context of its own
//   ApplyStyle(1.0f);
//   ImFont* heading = LoadFonts(test::WineFontsFolder(), 1.0f);
//   page.BuildFonts();
//   const auto draw = [&] { test::DisplayWindow([&] { GamePage(...); }); };
//   page.Frames(2, draw);                        // a new window is hidden on its first frame
//   page.FindItem("Play")->disabled;
//   page.FindText("Ready to play")->colour;      // whole texts, also when wrapped over lines
//   page.Click("Play", draw);

#include <imgui.h>

#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "imgui_item_hooks.h"
#include "tests/support/headless_imgui.h"

namespace launcher::test {

// An item with an id, as ImGui added it in the last frame.
struct PageItem {
    ImGuiID id = 0;
    ImVec2 min{0.0f, 0.0f};
    ImVec2 max{0.0f, 0.0f};
    // As the widget was given it, any "##" part included; empty for an invisible button.
    std::string label;
    bool disabled = false;
    bool checkable = false;
    bool checked = false;

    ImVec2 centre() const { return ImVec2((min.x + max.x) / 2, (min.y + max.y) / 2); }
    float width() const { return max.x - min.x; }
    // The label as shown: its part before "##".
    std::string shown() const { return label.substr(0, label.find("##")); }
};

// Glyphs drawn one after another on one line in one colour and font, with the spaces between
// them that their advances leave out.
struct TextRun {
    std::string text;
    // RGB with alpha 0xFF, packed as IM_COL32: disabled items draw at a lower alpha.
    ImU32 colour = 0;
    // The left of the text and the top of its line.
    ImVec2 position{0.0f, 0.0f};
    // Past the advance of its last glyph.
    float right = 0.0f;
    // The font size it is drawn at.
    float size = 0.0f;
    const ImFont* font = nullptr;
};

// A paragraph: runs of one colour and font that follow each other one line apart at the same left
// edge, as wrapped text has them.
struct FoundText {
    // The paragraph's lines joined with one space each.
    std::string text;
    ImU32 colour = 0;
    ImVec2 position{0.0f, 0.0f};
    float right = 0.0f;
    float size = 0.0f;
    const ImFont* font = nullptr;
    int lines = 0;
};

class PageReader final : private ImGuiItemRecorder {
public:
    // Tall enough that no page is clipped or scrolled.
    explicit PageReader(ImVec2 displaySize = ImVec2(900.0f, 3000.0f));
    ~PageReader() override;
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;

    // Builds the font atlas from the fonts added so far.
    void BuildFonts() { imgui_.BuildFonts(); }

    // Runs one frame of draw (which makes its own windows) and reads it.
    void Frame(const std::function<void()>& draw);
    void Frames(int count, const std::function<void()>& draw);
    // Presses the left mouse button at the centre of the last frame's item with label (see
    // FindItem) for one frame of draw and lets it go in the next. False, with a test failure, when
    // there is no such item. A disabled item is clicked all the same: ImGui ignores it.
    bool Click(const std::string& label, const std::function<void()>& draw);
    // The same at a point of the display, for items without a label (invisible buttons).
    void ClickAt(ImVec2 point, const std::function<void()>& draw);

    // What the last frame drew, in drawing order.
    const std::vector<PageItem>& items() const { return items_; }
    const std::vector<TextRun>& runs() const { return runs_; }
    std::vector<FoundText> Paragraphs() const;

    // The item whose label or shown label is label; null when there is none, and a test failure
    // when there are more than one.
    const PageItem* FindItem(const std::string& label) const;
    // The first paragraph whose text is text: the lines of a wrapped text may have been broken at a
    // space or right after a punctuation mark, so a space of text may stand at a line break or not.
    // Spaces at its ends draw nothing and are not compared.
    std::optional<FoundText> FindText(const std::string& text) const;
    // The shown label of the item with label (see FindItem), as drawn inside the item.
    std::optional<FoundText> ItemText(const std::string& label) const;
    // The first paragraph whose whole text (lines joined with one space) matches pattern.
    std::optional<FoundText> FindTextMatching(const std::regex& pattern) const;
    // Every item and paragraph of the last frame, one a line, for a failure message.
    std::string Describe() const;

private:
    void ItemAdded(ImGuiContext& context, const ImRect& rect, ImGuiID id) override;
    void ItemInfo(ImGuiContext& context, ImGuiID id, const char* label, ImGuiItemStatusFlags flags) override;
    void Log(ImGuiContext& context, const char* text) override;
    void ReadTexts();

    HeadlessImGui imgui_;
    std::vector<PageItem> items_;
    std::vector<TextRun> runs_;
};

// A colour as "RRGGBB" (alpha left out), for messages.
std::string ColourName(ImU32 colour);

}  // namespace launcher::test
