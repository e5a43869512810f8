// The launcher's style, colours and fonts, read back from a headless ImGui context.
#include "app/theme.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "platform/text.h"
#include "tests/support/headless_imgui.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

const fs::path kWineFonts = test::WineFontsFolder();

void ExpectVec(const ImVec2& actual, const ImVec2& expected, const char* field) {
    EXPECT_EQ(actual.x, expected.x) << field << ".x";
    EXPECT_EQ(actual.y, expected.y) << field << ".y";
}

void ExpectColour(const ImVec4& actual, const ImVec4& expected, int slot) {
    const char* name = ImGui::GetStyleColorName(slot);
    EXPECT_EQ(actual.x, expected.x) << name << " red";
    EXPECT_EQ(actual.y, expected.y) << name << " green";
    EXPECT_EQ(actual.z, expected.z) << name << " blue";
    EXPECT_EQ(actual.w, expected.w) << name << " alpha";
}

// Every field of the style, one by one.
void ExpectStyle(const ImGuiStyle& actual, const ImGuiStyle& expected) {
#define EXPECT_FIELD(field) EXPECT_EQ(actual.field, expected.field) << #field
#define EXPECT_VEC(field) ExpectVec(actual.field, expected.field, #field)
    EXPECT_FIELD(Alpha);
    EXPECT_FIELD(DisabledAlpha);
    EXPECT_VEC(WindowPadding);
    EXPECT_FIELD(WindowRounding);
    EXPECT_FIELD(WindowBorderSize);
    EXPECT_VEC(WindowMinSize);
    EXPECT_VEC(WindowTitleAlign);
    EXPECT_FIELD(WindowMenuButtonPosition);
    EXPECT_FIELD(ChildRounding);
    EXPECT_FIELD(ChildBorderSize);
    EXPECT_FIELD(PopupRounding);
    EXPECT_FIELD(PopupBorderSize);
    EXPECT_VEC(FramePadding);
    EXPECT_FIELD(FrameRounding);
    EXPECT_FIELD(FrameBorderSize);
    EXPECT_VEC(ItemSpacing);
    EXPECT_VEC(ItemInnerSpacing);
    EXPECT_VEC(CellPadding);
    EXPECT_VEC(TouchExtraPadding);
    EXPECT_FIELD(IndentSpacing);
    EXPECT_FIELD(ColumnsMinSpacing);
    EXPECT_FIELD(ScrollbarSize);
    EXPECT_FIELD(ScrollbarRounding);
    EXPECT_FIELD(GrabMinSize);
    EXPECT_FIELD(GrabRounding);
    EXPECT_FIELD(LogSliderDeadzone);
    EXPECT_FIELD(TabRounding);
    EXPECT_FIELD(TabBorderSize);
    EXPECT_FIELD(TabMinWidthForCloseButton);
    EXPECT_FIELD(ColorButtonPosition);
    EXPECT_VEC(ButtonTextAlign);
    EXPECT_VEC(SelectableTextAlign);
    EXPECT_VEC(DisplayWindowPadding);
    EXPECT_VEC(DisplaySafeAreaPadding);
    EXPECT_FIELD(MouseCursorScale);
    EXPECT_FIELD(AntiAliasedLines);
    EXPECT_FIELD(AntiAliasedLinesUseTex);
    EXPECT_FIELD(AntiAliasedFill);
    EXPECT_FIELD(CurveTessellationTol);
    EXPECT_FIELD(CircleTessellationMaxError);
#undef EXPECT_FIELD
#undef EXPECT_VEC
    for (int slot = 0; slot < ImGuiCol_COUNT; ++slot) ExpectColour(actual.Colors[slot], expected.Colors[slot], slot);
}

// A slot's expected floats: each byte / 255, with the given alpha.
ImVec4 Rgb(unsigned rgb, float alpha = 1.0f) {
    return ImVec4(static_cast<float>((rgb >> 16) & 0xFF) / 255.0f, static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
                  static_cast<float>(rgb & 0xFF) / 255.0f, alpha);
}

// The themed slots; every other slot keeps ImGui's dark colours.
const std::map<ImGuiCol, ImVec4>& ThemedSlots() {
    static const std::map<ImGuiCol, ImVec4> slots = [] {
        std::map<ImGuiCol, ImVec4> s;
        const ImVec4 line = Rgb(0x292C21), well = Rgb(0x282D23), raised = Rgb(0x4C5844), hover = Rgb(0x889180),
                     pressed = Rgb(0x958831), accent = Rgb(0xC4B550);
        s[ImGuiCol_Text] = Rgb(0xD8DED3);
        s[ImGuiCol_TextDisabled] = Rgb(0xA0AA95);
        s[ImGuiCol_WindowBg] = Rgb(0x3E4637);
        s[ImGuiCol_ChildBg] = s[ImGuiCol_TableRowBg] = Rgb(0x000000, 0.0f);
        s[ImGuiCol_PopupBg] = Rgb(0x2E3429);
        s[ImGuiCol_Border] = s[ImGuiCol_Separator] = s[ImGuiCol_SeparatorHovered] = s[ImGuiCol_SeparatorActive] =
            s[ImGuiCol_TableBorderStrong] = s[ImGuiCol_TableBorderLight] = line;
        s[ImGuiCol_BorderShadow] = Rgb(0x889180, 0.35f);
        s[ImGuiCol_FrameBg] = s[ImGuiCol_FrameBgHovered] = s[ImGuiCol_FrameBgActive] = s[ImGuiCol_ScrollbarBg] = well;
        s[ImGuiCol_TitleBg] = s[ImGuiCol_TitleBgActive] = s[ImGuiCol_TitleBgCollapsed] = s[ImGuiCol_ScrollbarGrab] =
            s[ImGuiCol_Button] = s[ImGuiCol_ResizeGrip] = s[ImGuiCol_TableHeaderBg] = raised;
        s[ImGuiCol_ScrollbarGrabHovered] = s[ImGuiCol_ScrollbarGrabActive] = s[ImGuiCol_ButtonHovered] = hover;
        s[ImGuiCol_ButtonActive] = s[ImGuiCol_Header] = s[ImGuiCol_HeaderHovered] = s[ImGuiCol_HeaderActive] =
            s[ImGuiCol_PlotHistogram] = s[ImGuiCol_PlotHistogramHovered] = pressed;
        s[ImGuiCol_CheckMark] = s[ImGuiCol_ResizeGripHovered] = s[ImGuiCol_ResizeGripActive] =
            s[ImGuiCol_NavHighlight] = s[ImGuiCol_NavWindowingHighlight] = accent;
        s[ImGuiCol_TableRowBgAlt] = Rgb(0x000000, 0.12f);
        s[ImGuiCol_ModalWindowDimBg] = Rgb(0x000000, 0.45f);
        return s;
    }();
    return slots;
}

// ImGui's dark colours with the themed slots over them.
void ThemeColours(ImGuiStyle& style) {
    ImGui::StyleColorsDark(&style);
    for (const auto& [slot, colour] : ThemedSlots()) style.Colors[slot] = colour;
}

struct StyleCase {
    std::string name;
    float scale;
    ImVec2 framePadding;
    ImVec2 itemSpacing;
    ImVec2 itemInnerSpacing;
    float scrollbarSize;
    float grabMinSize;
};

class ThemeTest : public testing::TestWithParam<StyleCase> {
protected:
    test::HeadlessImGui ui;
};

TEST_P(ThemeTest, EveryFieldAndColourSlot) {
    const StyleCase& c = GetParam();
    // Applied at another scale first: the style is replaced, never scaled a second time.
    ApplyStyle(2.0f);
    ApplyStyle(c.scale);

    // Fields the theme does not set are ImGui's defaults at that scale.
    ImGuiStyle expected;
    expected.ScaleAllSizes(c.scale);
    expected.WindowPadding = ImVec2(0, 0);
    expected.FramePadding = c.framePadding;
    expected.ItemSpacing = c.itemSpacing;
    expected.ItemInnerSpacing = c.itemInnerSpacing;
    expected.ScrollbarSize = c.scrollbarSize;
    expected.GrabMinSize = c.grabMinSize;
    expected.WindowRounding = expected.ChildRounding = expected.PopupRounding = expected.FrameRounding =
        expected.ScrollbarRounding = expected.GrabRounding = expected.TabRounding = 0.0f;
    // Border sizes are not scaled.
    expected.WindowBorderSize = 1.0f;
    expected.ChildBorderSize = 0.0f;
    expected.PopupBorderSize = 1.0f;
    expected.FrameBorderSize = 1.0f;
    ThemeColours(expected);

    ExpectStyle(ImGui::GetStyle(), expected);
}

TEST_P(ThemeTest, ThemeColorsKeepTheGivenSizes) {
    const StyleCase& c = GetParam();
    ImGuiStyle style;
    style.FramePadding = ImVec2(3, 3);
    style.WindowRounding = 9;
    style.ChildBorderSize = 2;
    style.Colors[ImGuiCol_Text] = ImVec4(1, 0, 0, 1);
    style.Colors[ImGuiCol_PlotLines] = ImVec4(1, 0, 0, 1);
    style.ScaleAllSizes(c.scale);
    const ImGuiStyle given = style;
    SetThemeColors(style);

    ImGuiStyle expected = given;
    expected.WindowRounding = expected.ChildRounding = expected.PopupRounding = expected.FrameRounding =
        expected.ScrollbarRounding = expected.GrabRounding = expected.TabRounding = 0.0f;
    expected.WindowBorderSize = 1.0f;
    expected.ChildBorderSize = 0.0f;
    expected.PopupBorderSize = 1.0f;
    expected.FrameBorderSize = 1.0f;
    ThemeColours(expected);
    ExpectStyle(style, expected);
}

// ImGui 1.86 floors every scaled size: FramePadding's 7.5 at 1.5 is 7.
INSTANTIATE_TEST_SUITE_P(Scales, ThemeTest,
                         testing::Values(StyleCase{"Scale1", 1.0f, {10, 5}, {8, 6}, {6, 4}, 14, 12},
                                         StyleCase{"Scale1_5", 1.5f, {15, 7}, {12, 9}, {9, 6}, 21, 18}),
                         test::CaseName());

// What a fonts folder holds under one of the two names.
enum class FontFile { kMissing, kTahoma, kFolder, kNotAFont };
// Which face a loaded font came from.
enum class Face { kBuiltin, kRegular, kBold };

struct FontCase {
    std::string name;
    FontFile regular;
    FontFile bold;
    float scale;
    std::string folderName;
    int fontCount;
    Face body;
    float bodySize;
    Face heading;
};

class ThemeFontsTest : public testing::TestWithParam<FontCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::is_regular_file(kWineFonts / "tahoma.ttf") && fs::is_regular_file(kWineFonts / "tahomabd.ttf"))
            << "the font tests need Debian's fonts-wine (cmake/setup.sh installs it) in " << kWineFonts.string();
    }

    void Place(FontFile kind, const char* name, const fs::path& folder) {
        switch (kind) {
            case FontFile::kMissing:
                break;
            case FontFile::kTahoma:
                fs::copy_file(kWineFonts / name, folder / name);
                break;
            case FontFile::kFolder:
                fs::create_directories(folder / name);
                break;
            case FontFile::kNotAFont:
                test::WriteFile(folder / name, "not a font, only some text that is long enough to read");
                break;
        }
    }

    Face FaceOf(const ImFont* font) const {
        const int size = font->ConfigData->FontDataSize;
        if (size == static_cast<int>(fs::file_size(kWineFonts / "tahoma.ttf"))) return Face::kRegular;
        if (size == static_cast<int>(fs::file_size(kWineFonts / "tahomabd.ttf"))) return Face::kBold;
        return Face::kBuiltin;
    }

    test::TempFolder temp;
    test::HeadlessImGui ui;
};

TEST_P(ThemeFontsTest, BodyAndHeadingFonts) {
    const FontCase& c = GetParam();
    const fs::path folder = temp / Utf8Path(c.folderName);
    fs::create_directories(folder);
    Place(c.regular, "tahoma.ttf", folder);
    Place(c.bold, "tahomabd.ttf", folder);

    ImFont* heading = LoadFonts(folder, c.scale);
    ui.BuildFonts();

    const ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
    ASSERT_EQ(atlas.Fonts.Size, c.fontCount);
    ASSERT_NE(heading, nullptr);
    const ImFont* body = atlas.Fonts[0];
    EXPECT_EQ(FaceOf(body), c.body);
    EXPECT_FLOAT_EQ(body->FontSize, c.bodySize);
    // The first font is the one ImGui draws with unless told otherwise.
    ui.Frame([&] { EXPECT_EQ(ImGui::GetFont(), body); });
    EXPECT_EQ(FaceOf(heading), c.heading);
    if (c.heading == Face::kBold) {
        EXPECT_NE(heading, body);
        EXPECT_FLOAT_EQ(heading->FontSize, 15.0f * c.scale);
    } else {
        EXPECT_EQ(heading, body) << "without the bold face, headings use the body font";
    }
}

INSTANTIATE_TEST_SUITE_P(Folders, ThemeFontsTest,
                         testing::Values(FontCase{"Both", FontFile::kTahoma, FontFile::kTahoma, 1.0f, "Fonts", 2,
                                                  Face::kRegular, 15.0f, Face::kBold},
                                         FontCase{"BothAt1_5", FontFile::kTahoma, FontFile::kTahoma, 1.5f, "Fonts", 2,
                                                  Face::kRegular, 22.5f, Face::kBold},
                                         FontCase{"None", FontFile::kMissing, FontFile::kMissing, 1.0f, "Fonts", 1,
                                                  Face::kBuiltin, 13.0f, Face::kBuiltin},
                                         FontCase{"NoneAt1_5", FontFile::kMissing, FontFile::kMissing, 1.5f, "Fonts", 1,
                                                  Face::kBuiltin, 19.5f, Face::kBuiltin},
                                         FontCase{"OnlyBold", FontFile::kMissing, FontFile::kTahoma, 1.0f, "Fonts", 2,
                                                  Face::kBuiltin, 13.0f, Face::kBold},
                                         FontCase{"OnlyRegular", FontFile::kTahoma, FontFile::kMissing, 1.0f, "Fonts",
                                                  1, Face::kRegular, 15.0f, Face::kRegular},
                                         // A folder or a file that is not a font under either name counts as missing.
                                         FontCase{"NamesAreFolders", FontFile::kFolder, FontFile::kFolder, 1.0f,
                                                  "Fonts", 1, Face::kBuiltin, 13.0f, Face::kBuiltin},
                                         FontCase{"NamesAreNotFonts", FontFile::kNotAFont, FontFile::kNotAFont, 1.0f,
                                                  "Fonts", 1, Face::kBuiltin, 13.0f, Face::kBuiltin},
                                         // Outside the ANSI code page of a Windows system.
                                         FontCase{"FolderNameBeyondAnsi", FontFile::kTahoma, FontFile::kTahoma, 1.0f,
                                                  "Schrift \xe5\xad\x97\xe4\xbd\x93", 2, Face::kRegular, 15.0f,
                                                  Face::kBold}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
