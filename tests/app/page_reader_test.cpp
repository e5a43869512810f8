// The page reader on widgets whose place, colour and state the test knows from ImGui itself.
#include "tests/support/page_reader.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <string>

#include "app/theme.h"
#include "tests/support/expected_palette.h"

namespace launcher {
namespace {

using namespace test::expected_palette;

constexpr char kLongSentence[] =
    "Choose your copy of the game: a disc image (.iso) of your own disc, or a folder with the disc's files. "
    "Nothing is copied off the internet: the game comes from your disc.";

class PageReaderTest : public testing::Test {
protected:
    void SetUp() override {
        ApplyStyle(1.0f);
        heading = LoadFonts(test::WineFontsFolder(), 1.0f);
        page.BuildFonts();
        ASSERT_EQ(ImGui::GetIO().Fonts->Fonts.Size, 2) << "the reader's tests need fonts-wine's Tahoma and Tahoma Bold";
    }

    test::PageReader page;
    ImFont* heading = nullptr;
};

TEST_F(PageReaderTest, ItemsAsImGuiAddedThem) {
    bool ticked = true;
    bool other = false;
    ImVec2 playMin, playMax, boxMin;
    const auto draw = [&] {
        test::DisplayWindow([&] {
            ImGui::Button("Play", ImVec2(150, 0));
            playMin = ImGui::GetItemRectMin();
            playMax = ImGui::GetItemRectMax();
            ImGui::BeginDisabled(true);
            ImGui::Button("Update");
            ImGui::EndDisabled();
            ImGui::Checkbox("Start the game", &ticked);
            boxMin = ImGui::GetItemRectMin();
            ImGui::Checkbox("Start the game##second", &other);
            ImGui::InvisibleButton("##area", ImVec2(20, 20));
            ImGui::TextUnformatted("no item");
        });
    };
    page.Frames(2, draw);

    const test::PageItem* play = page.FindItem("Play");
    ASSERT_NE(play, nullptr) << page.Describe();
    EXPECT_EQ(play->min.x, playMin.x);
    EXPECT_EQ(play->min.y, playMin.y);
    EXPECT_EQ(play->max.x, playMax.x);
    EXPECT_EQ(play->max.y, playMax.y);
    EXPECT_EQ(play->width(), 150.0f);
    EXPECT_FALSE(play->disabled);
    EXPECT_FALSE(play->checkable);

    const test::PageItem* update = page.FindItem("Update");
    ASSERT_NE(update, nullptr);
    EXPECT_TRUE(update->disabled);

    // Two boxes that show one label: the whole label tells them apart.
    const test::PageItem* box = page.FindItem("Start the game##second");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->checkable);
    EXPECT_FALSE(box->checked);
    EXPECT_EQ(box->shown(), "Start the game");
    const test::PageItem* first = nullptr;
    for (const test::PageItem& item : page.items()) {
        if (item.label == "Start the game") first = &item;
    }
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->checked);
    EXPECT_EQ(first->min.y, boxMin.y);

    // The invisible button has an id but no label; plain text is no item.
    int unlabelled = 0;
    for (const test::PageItem& item : page.items()) unlabelled += item.label.empty() ? 1 : 0;
    EXPECT_EQ(unlabelled, 1);
    EXPECT_EQ(page.items().size(), 5u) << page.Describe();
}

TEST_F(PageReaderTest, TextsWithTheirColourFontAndPlace) {
    ImVec2 titleAt, hintAt;
    float width = 0;
    const auto draw = [&] {
        test::DisplayWindow([&] {
            titleAt = ImGui::GetCursorScreenPos();
            ImGui::PushFont(heading);
            ImGui::TextColored(ImGui::ColorConvertU32ToFloat4(kAccent), "Ready  to play");
            ImGui::PopFont();
            hintAt = ImGui::GetCursorScreenPos();
            width = ImGui::GetContentRegionAvail().x;
            ImGui::PushStyleColor(ImGuiCol_Text, kMuted);
            ImGui::TextWrapped("%s", kLongSentence);
            ImGui::TextWrapped("%s", "Hold Shift as the launcher opens to stay in it.");
            ImGui::PopStyleColor();
            // A title and a detail on one line, far apart, in one colour.
            const ImVec2 p = ImGui::GetCursorScreenPos();
            ImGui::GetWindowDrawList()->AddText(ImVec2(p.x + 30, p.y), kMuted, "Unpack it");
            ImGui::GetWindowDrawList()->AddText(ImVec2(p.x + 250, p.y), kMuted, "3 of 9 files");
            ImGui::Dummy(ImVec2(0, 30));
            ImGui::BeginDisabled(true);
            ImGui::Button("Get the game ready");
            ImGui::EndDisabled();
            // A small button clips its text at its frame, through the descenders.
            ImGui::SmallButton("Open launcher.log");
        });
    };
    // Narrow enough that the long sentence wraps.
    ImGui::GetIO().DisplaySize.x = 400;
    page.Frames(2, draw);

    const std::optional<test::FoundText> title = page.FindText("Ready  to play");
    ASSERT_TRUE(title) << page.Describe();
    EXPECT_EQ(title->colour, kAccent);
    EXPECT_EQ(title->font, heading);
    EXPECT_EQ(title->position.x, titleAt.x);
    EXPECT_EQ(title->position.y, titleAt.y);
    EXPECT_EQ(title->size, 15.0f);
    EXPECT_EQ(title->lines, 1);
    EXPECT_FALSE(page.FindText("Ready to play")) << "the two spaces are read back";

    const std::optional<test::FoundText> hint = page.FindText(kLongSentence);
    ASSERT_TRUE(hint) << page.Describe();
    EXPECT_EQ(hint->colour, kMuted);
    EXPECT_EQ(hint->font, ImGui::GetIO().Fonts->Fonts[0]);
    EXPECT_GE(hint->lines, 3);
    EXPECT_EQ(hint->position.x, hintAt.x);
    EXPECT_EQ(hint->position.y, hintAt.y);
    EXPECT_LE(hint->right, hintAt.x + width);
    EXPECT_FALSE(page.FindText("Choose your copy of the game: a disc image (.iso) of your own disc,"))
        << "only whole paragraphs are found";
    EXPECT_TRUE(page.FindText("Hold Shift as the launcher opens to stay in it.")) << "the next text is its own";

    EXPECT_TRUE(page.FindText("Unpack it"));
    EXPECT_TRUE(page.FindText("3 of 9 files")) << page.Describe();
    EXPECT_TRUE(page.FindTextMatching(std::regex("[0-9] of [0-9] files")));

    // Disabled text is drawn at a lower alpha; the reader gives its colour.
    const std::optional<test::FoundText> label = page.FindText("Get the game ready");
    ASSERT_TRUE(label);
    EXPECT_EQ(label->colour, kText);
    EXPECT_TRUE(page.FindText("Open launcher.log")) << page.Describe();
    EXPECT_TRUE(page.FindText(" Open launcher.log  ")) << "spaces at the ends draw nothing";
    const std::optional<test::FoundText> inside = page.ItemText("Get the game ready");
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->position.y, label->position.y);
}

TEST_F(PageReaderTest, AWrappedTextBrokenAfterAPunctuationMark) {
    // ImGui may break a line right after a full stop, where the text has no space.
    const auto draw = [&] {
        test::DisplayWindow([&] {
            ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + ImGui::CalcTextSize("Open the file launcher.").x + 1);
            ImGui::TextWrapped("%s", "Open the file launcher.log");
            ImGui::PopTextWrapPos();
        });
    };
    page.Frames(2, draw);
    const std::optional<test::FoundText> text = page.FindText("Open the file launcher.log");
    ASSERT_TRUE(text) << page.Describe();
    EXPECT_EQ(text->lines, 2);
    EXPECT_EQ(text->text, "Open the file launcher. log");
}

TEST_F(PageReaderTest, ClicksGoThroughImGuisMouse) {
    bool ticked = false;
    int pressed = 0;
    int disabledPressed = 0;
    const auto draw = [&] {
        test::DisplayWindow([&] {
            if (ImGui::Button("Stay in the launcher")) ++pressed;
            ImGui::Checkbox("Start the game", &ticked);
            ImGui::BeginDisabled(true);
            if (ImGui::Button("Build")) ++disabledPressed;
            ImGui::EndDisabled();
        });
    };
    page.Frames(2, draw);

    ASSERT_TRUE(page.Click("Stay in the launcher", draw));
    EXPECT_EQ(pressed, 1);
    ASSERT_TRUE(page.Click("Start the game", draw));
    EXPECT_TRUE(ticked);
    EXPECT_TRUE(page.FindItem("Start the game")->checked);
    ASSERT_TRUE(page.Click("Build", draw));
    EXPECT_EQ(disabledPressed, 0);
    EXPECT_EQ(pressed, 1);
    page.Frame(draw);
    EXPECT_EQ(pressed, 1) << "one click, one press";
}

}  // namespace
}  // namespace launcher
