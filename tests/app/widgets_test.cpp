// The themed widgets, drawn headless and read back from the window's draw list.
#include "app/widgets.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/shell.h"
#include "app/theme.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/expected_palette.h"
#include "tests/support/headless_imgui.h"
#include "tests/support/shell_stand_in.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::Drawn;
using test::Shape;
using test::ShapeOf;

using namespace test::expected_palette;
constexpr ImU32 kUnderlineShade = IM_COL32(0x88, 0x91, 0x80, 0x60);

// ImGui widens strokes with an approximate reciprocal square root.
constexpr float kStrokeError = 0.01f;

ImU32 AccentAt(int alpha) { return IM_COL32(0xC4, 0xB5, 0x50, alpha); }

// Characters that draw a glyph.
int VisibleChars(const std::string& text) {
    int count = 0;
    for (char c : text) count += c != ' ' ? 1 : 0;
    return count;
}

// Where ImGui draws a text's first glyph: the text's position floored to whole pixels, plus the
// glyph's own offset.
ImVec2 FirstGlyphAt(const std::string& text, ImVec2 position) {
    const ImFontGlyph* glyph = ImGui::GetIO().Fonts->Fonts[0]->FindGlyph(text[0]);
    return ImVec2(std::floor(position.x) + glyph->X0, std::floor(position.y) + glyph->Y0);
}

// A stroke's segment without anti-aliasing: a quad whose ends' midpoints are the segment's end
// points and whose ends are as long as the stroke is thick.
struct Segment {
    ImVec2 from;
    ImVec2 to;
    float thickness;
};

std::vector<Segment> Segments(const ImDrawList& list, ImU32 colour, const Drawn& drawn) {
    std::vector<ImDrawVert> stroke;
    for (int i = drawn.from; i < drawn.to; ++i) {
        if (list.VtxBuffer[i].col == colour) stroke.push_back(list.VtxBuffer[i]);
    }
    std::vector<Segment> segments;
    const auto mid = [](ImVec2 a, ImVec2 b) { return ImVec2((a.x + b.x) / 2, (a.y + b.y) / 2); };
    for (size_t i = 0; i + 3 < stroke.size(); i += 4) {
        const ImVec2 a = stroke[i].pos, b = stroke[i + 1].pos, c = stroke[i + 2].pos, d = stroke[i + 3].pos;
        segments.push_back({mid(a, d), mid(b, c), std::hypot(a.x - d.x, a.y - d.y)});
    }
    return segments;
}

class WidgetsTest : public testing::Test {
protected:
    void SetUp() override {
        ApplyStyle(1.0f);
        // Without anti-aliasing every vertex of a shape carries the shape's own colour and lies on it.
        ImGuiStyle& style = ImGui::GetStyle();
        style.AntiAliasedLines = style.AntiAliasedLinesUseTex = style.AntiAliasedFill = false;
        heading = LoadFonts(test::WineFontsFolder(), 1.0f);
        ui.BuildFonts();
        ASSERT_EQ(ImGui::GetIO().Fonts->Fonts.Size, 2) << "the widget tests need fonts-wine's Tahoma and Tahoma Bold";
    }

    // Runs frames of draw and returns the last one's draw list.
    ImDrawList* Frames(int count, const std::function<void()>& draw) {
        ImDrawList* list = nullptr;
        for (int frame = 0; frame < count; ++frame) list = ui.Frame(draw);
        return list;
    }

    test::HeadlessImGui ui;
    test::ShellStandIn shell;
    ImFont* heading = nullptr;
    // The body font's size.
    const float s = 15.0f;
    const ImVec2 spacing{8.0f, 6.0f};
};

// The title's geometry follows the font size, all but the 4 pixels under the underlines.
class WidgetsSectionTitleTest : public WidgetsTest, public testing::WithParamInterface<float> {};

TEST_P(WidgetsSectionTitleTest, AccentHeadingOverTwoLines) {
    const float fontScale = GetParam();
    ImVec2 start, end;
    float width = 0;
    Drawn drawn;
    ImDrawList* list = Frames(2, [&] {
        ImGui::SetWindowFontScale(fontScale);
        ImGui::TextUnformatted("Above");
        start = ImGui::GetCursorScreenPos();
        width = ImGui::GetContentRegionAvail().x;
        drawn = test::Record([&] { SectionTitle("Your game", heading); });
        end = ImGui::GetCursorScreenPos();
    });

    // Half a line of space, the title's line, and the underlines where the next line starts.
    const float titleTop = std::floor(start.y + 0.5f * s * fontScale + spacing.y);
    const float lineY = std::floor(titleTop + heading->FontSize * fontScale + spacing.y);

    const Shape title = ShapeOf(*list, kAccent, drawn);
    EXPECT_EQ(title.glyphs(), VisibleChars("Your game"));
    EXPECT_GE(title.min.y, titleTop);
    EXPECT_LE(title.max.y, lineY);
    const ImFontGlyph* bold = heading->FindGlyph('Y');
    ASSERT_NE(bold->U0, ImGui::GetIO().Fonts->Fonts[0]->FindGlyph('Y')->U0);
    EXPECT_EQ(title.first.uv.x, bold->U0) << "the title is not in the heading font";
    EXPECT_EQ(title.first.uv.y, bold->V0);

    const Shape line = ShapeOf(*list, kLine, drawn);
    EXPECT_EQ(line.vertices, 4);
    EXPECT_NEAR(line.min.y, lineY, kStrokeError);
    EXPECT_NEAR(line.max.y, lineY + 1, kStrokeError);
    EXPECT_EQ(line.min.x, start.x + 0.5f);
    EXPECT_EQ(line.max.x, start.x + width + 0.5f);
    const Shape shade = ShapeOf(*list, kUnderlineShade, drawn);
    EXPECT_EQ(shade.vertices, 4);
    EXPECT_NEAR(shade.min.y, lineY + 1, kStrokeError);
    EXPECT_NEAR(shade.max.y, lineY + 2, kStrokeError);
    EXPECT_EQ(shade.min.x, line.min.x);
    EXPECT_EQ(shade.max.x, line.max.x);

    EXPECT_EQ(end.y, lineY + 4 + spacing.y) << "4 pixels, not scaled, after the underlines";
}

INSTANTIATE_TEST_SUITE_P(FontScales, WidgetsSectionTitleTest, testing::Values(1.0f, 2.0f),
                         [](const testing::TestParamInfo<float>& info) {
                             return info.param == 1.0f ? std::string("Normal") : std::string("Double");
                         });

// A step row drawn on the frame's first line, with where it started.
struct DrawnRow {
    ImDrawList* list = nullptr;
    ImVec2 p;
    float w = 0;
    Drawn drawn;
    ImVec2 next;
};

struct StepCase {
    std::string name;
    int state;
    std::optional<std::string> statusDetail;
    std::string defaultDetail;
    std::string shownDetail;
    ImU32 titleColour;
    ImU32 detailColour;
};

class WidgetsStepRowTest : public WidgetsTest, public testing::WithParamInterface<StepCase> {
protected:
    DrawnRow Draw(int frames, int state, const char* title, const std::string& defaultDetail, const Status* status) {
        DrawnRow row;
        row.list = Frames(frames, [&] {
            ImGui::TextUnformatted("Getting the game ready");
            row.p = ImGui::GetCursorScreenPos();
            row.w = ImGui::GetContentRegionAvail().x;
            row.drawn = test::Record([&] { StepRow(state, title, defaultDetail, status); });
            row.next = ImGui::GetCursorScreenPos();
        });
        return row;
    }
};

TEST_P(WidgetsStepRowTest, MarkTitleAndDetail) {
    const StepCase& c = GetParam();
    Status status{"Downloading", c.statusDetail.value_or(""), 0.25};
    const char* title = "Unpack it";
    const DrawnRow row = Draw(2, c.state, title, c.defaultDetail, c.statusDetail ? &status : nullptr);
    const ImDrawList& list = *row.list;
    const ImVec2 p = row.p;

    EXPECT_EQ(row.next.y, p.y + 2 * s + spacing.y) << "the row is two font sizes high";

    const Shape fill = ShapeOf(list, kRaised, row.drawn);
    if (c.state == kStepActive) {
        EXPECT_EQ(fill.min.x, p.x);
        EXPECT_EQ(fill.min.y, p.y);
        EXPECT_EQ(fill.max.x, p.x + row.w);
        EXPECT_EQ(fill.max.y, p.y + 2 * s);
    } else {
        EXPECT_EQ(fill.vertices, 0);
    }

    // The mark: a square of one font size, filled with the well colour and outlined.
    const ImVec2 mark(p.x + 0.45f * s, p.y + 0.5f * s);
    const Shape well = ShapeOf(list, kWell, row.drawn);
    EXPECT_EQ(well.min.x, mark.x);
    EXPECT_EQ(well.min.y, mark.y);
    EXPECT_EQ(well.max.x, mark.x + s);
    EXPECT_EQ(well.max.y, mark.y + s);
    const Shape outline = ShapeOf(list, kLine, row.drawn);
    EXPECT_NEAR(outline.min.x, mark.x, 1.0f);
    EXPECT_NEAR(outline.min.y, mark.y, 1.0f);
    EXPECT_NEAR(outline.max.x, mark.x + s, 1.0f);
    EXPECT_NEAR(outline.max.y, mark.y + s, 1.0f);

    // The tick runs through (0.2, 0.5), (0.42, 0.75) and (0.8, 0.25) of the square, two pixels thick
    // (ImGui draws a line half a pixel further down and right).
    const auto tick = Segments(list, kSuccess, row.drawn);
    if (c.state == kStepDone) {
        const auto at = [&](float x, float y) { return ImVec2(mark.x + x * s + 0.5f, mark.y + y * s + 0.5f); };
        const ImVec2 points[] = {at(0.2f, 0.5f), at(0.42f, 0.75f), at(0.42f, 0.75f), at(0.8f, 0.25f)};
        ASSERT_EQ(tick.size(), 2u);
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE("segment " + std::to_string(i));
            EXPECT_NEAR(tick[i].from.x, points[2 * i].x, kStrokeError);
            EXPECT_NEAR(tick[i].from.y, points[2 * i].y, kStrokeError);
            EXPECT_NEAR(tick[i].to.x, points[2 * i + 1].x, kStrokeError);
            EXPECT_NEAR(tick[i].to.y, points[2 * i + 1].y, kStrokeError);
            EXPECT_NEAR(tick[i].thickness, 2.0f, kStrokeError);
        }
    } else {
        EXPECT_TRUE(tick.empty());
    }

    // Title and detail share a colour on a waiting row: the title is the text in the left half.
    const float middle = p.x + row.w / 2;
    const Shape titleText = ShapeOf(list, c.titleColour, row.drawn, -FLT_MAX, middle);
    EXPECT_EQ(titleText.glyphs(), VisibleChars(title));
    const ImVec2 titleAt = FirstGlyphAt(title, ImVec2(p.x + 2 * s, p.y + 0.5f * s));
    EXPECT_EQ(titleText.first.pos.x, titleAt.x);
    EXPECT_EQ(titleText.first.pos.y, titleAt.y);

    const Shape detail = ShapeOf(list, c.detailColour, row.drawn, middle);
    EXPECT_EQ(detail.glyphs(), VisibleChars(c.shownDetail));
    // Right-aligned to end 0.6 font sizes before the row's right edge.
    const float detailWidth = ImGui::CalcTextSize(c.shownDetail.c_str()).x;
    const ImVec2 detailAt = FirstGlyphAt(c.shownDetail, ImVec2(p.x + row.w - detailWidth - 0.6f * s, p.y + 0.5f * s));
    EXPECT_EQ(detail.first.pos.x, detailAt.x);
    EXPECT_EQ(detail.first.pos.y, detailAt.y);
}

INSTANTIATE_TEST_SUITE_P(
    States, WidgetsStepRowTest,
    testing::Values(
        StepCase{"Waiting", kStepWaiting, std::nullopt, "not chosen yet", "not chosen yet", kMuted, kMuted},
        StepCase{"ActiveWithStatusDetail", kStepActive, "12 of 40 MB", "waiting", "12 of 40 MB", kWhite, kAccent},
        StepCase{"ActiveWithEmptyStatusDetail", kStepActive, "", "Velmora PAL", "Velmora PAL", kWhite, kAccent},
        StepCase{"Done", kStepDone, std::nullopt, "PAL", "PAL", kText, kMuted},
        StepCase{"DoneWithStatusDetail", kStepDone, "all files", "PAL", "all files", kText, kMuted}),
    test::CaseName());

struct PulseCase {
    std::string name;
    int frames;
    int alpha;
};

class WidgetsPulseTest : public WidgetsTest, public testing::WithParamInterface<PulseCase> {};

// The active mark's inner square pulses: alpha trunc((0.55 + 0.45 sin(4 t)) x 255) at ImGui time t.
TEST_P(WidgetsPulseTest, InnerSquareAlphaFollowsTime) {
    const PulseCase& c = GetParam();
    ImGui::GetIO().DeltaTime = 0.25f;
    ImVec2 p;
    Drawn drawn;
    const ImDrawList* list = Frames(c.frames, [&] {
        p = ImGui::GetCursorScreenPos();
        drawn = test::Record([&] { StepRow(kStepActive, "Unpack it", "", nullptr); });
    });
    ASSERT_EQ(ImGui::GetTime(), 0.25 * c.frames);
    const Shape pulse = ShapeOf(*list, AccentAt(c.alpha), drawn);
    ASSERT_EQ(pulse.vertices, 4) << "no inner square at alpha " << c.alpha;
    const float inset = 0.22f * s;
    EXPECT_FLOAT_EQ(pulse.min.x, p.x + 0.45f * s + inset);
    EXPECT_FLOAT_EQ(pulse.min.y, p.y + 0.5f * s + inset);
    EXPECT_FLOAT_EQ(pulse.max.x, p.x + 1.45f * s - inset);
    EXPECT_FLOAT_EQ(pulse.max.y, p.y + 1.5f * s - inset);
}

// t = 0.5: 244.59; t = 0.75: 156.44; t = 1.25: 30.21.
INSTANTIATE_TEST_SUITE_P(Times, WidgetsPulseTest,
                         testing::Values(PulseCase{"At0_5s", 2, 244}, PulseCase{"At0_75s", 3, 156},
                                         PulseCase{"At1_25s", 5, 30}),
                         test::CaseName());

struct NoticeCase {
    std::string name;
    std::string error;
    std::string notice;
    bool errorShown;
    bool noticeShown;
};

class WidgetsNoticeBoxTest : public WidgetsTest, public testing::WithParamInterface<NoticeCase> {};

TEST_P(WidgetsNoticeBoxTest, ShowsTheOutcome) {
    const NoticeCase& c = GetParam();
    test::TempFolder temp;
    App app;
    app.baseFolder = temp.path();
    Drawn drawn;
    ImVec2 before, after;
    const ImDrawList* list = Frames(2, [&] {
        before = ImGui::GetCursorScreenPos();
        drawn = test::Record([&] { NoticeBox(app, c.error, c.notice, "Open launcher.log"); });
        after = ImGui::GetCursorScreenPos();
    });
    EXPECT_EQ(ShapeOf(*list, kFailure, drawn).glyphs(), c.errorShown ? VisibleChars(c.error) : 0);
    EXPECT_EQ(ShapeOf(*list, kSuccess, drawn).glyphs(), c.noticeShown ? VisibleChars(c.notice) : 0);
    // The log link comes with the error: a raised button with its label in the text colour.
    EXPECT_EQ(ShapeOf(*list, kRaised, drawn).vertices > 0, c.errorShown);
    EXPECT_EQ(ShapeOf(*list, kText, drawn).glyphs(), c.errorShown ? VisibleChars("Open launcher.log") : 0);
    if (!c.errorShown && !c.noticeShown) {
        EXPECT_EQ(drawn.to, drawn.from) << "nothing is drawn";
        EXPECT_EQ(after.y, before.y) << "no space is taken";
    }
    EXPECT_TRUE(shell.opened.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, WidgetsNoticeBoxTest,
    testing::Values(NoticeCase{"Error", "Could not start the game (error 2).", "", true, false},
                    // Longer than the window is wide: the text wraps rather than runs out of sight.
                    NoticeCase{"LongError",
                               "The new launcher is in place but did not start: the program could not be started "
                               "(error 2: The system cannot find the file specified.) Start it again, or download "
                               "the launcher once more from the release page.",
                               "", true, false},
                    NoticeCase{"ErrorOverNotice", "Stopped.", "Done.", true, false},
                    NoticeCase{"Notice", "", "The game is ready. Press Play.", false, true},
                    NoticeCase{"LongNotice", "",
                               "Your music is ready. 14 soundtracks with 212 songs are in the game; 3 files could not "
                               "be read and were left out. They are named in launcher.log, with the reason for each.",
                               false, true},
                    NoticeCase{"Nothing", "", "", false, false}),
    test::CaseName());

struct LinkCase {
    std::string name;
    const char* label;
};

class WidgetsNoticeLinkTest : public WidgetsTest, public testing::WithParamInterface<LinkCase> {};

TEST_P(WidgetsNoticeLinkTest, PressingTheLinkOpensTheLog) {
    test::TempFolder temp;
    App app;
    app.baseFolder = temp / Utf8Path("Velmora \xc3\xa4");
    ImVec2 buttonMin, buttonMax;
    Drawn drawn;
    const auto draw = [&] {
        drawn = test::Record([&] { NoticeBox(app, "Could not start the game.", "", GetParam().label); });
        buttonMin = ImGui::GetItemRectMin();
        buttonMax = ImGui::GetItemRectMax();
    };
    const ImDrawList* list = Frames(2, draw);
    // Whatever follows "##" only tells two boxes apart.
    EXPECT_EQ(ShapeOf(*list, kText, drawn).glyphs(), VisibleChars("Open launcher.log"));
    EXPECT_EQ(buttonMax.y - buttonMin.y, s) << "a small button, one line high";

    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = ImVec2((buttonMin.x + buttonMax.x) / 2, (buttonMin.y + buttonMax.y) / 2);
    Frames(1, draw);
    io.MouseDown[0] = true;
    Frames(1, draw);
    io.MouseDown[0] = false;
    Frames(1, draw);
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], PathToUtf8(app.baseFolder / "launcher.log"));
}

INSTANTIATE_TEST_SUITE_P(Labels, WidgetsNoticeLinkTest,
                         testing::Values(LinkCase{"Game", "Open launcher.log"},
                                         LinkCase{"Music", "Open launcher.log##music"}),
                         test::CaseName());

TEST_F(WidgetsTest, HintIsMutedAndTheNextTextIsNot) {
    // Longer than the window is wide: it wraps rather than runs out of sight.
    const std::string hint =
        "Hold Shift as the launcher opens to stay in it. The launch option --play does the same for one shortcut "
        "(a Steam shortcut, say). In the game: F1 opens the PC settings. Saves, settings and logs stay in the "
        "game's folder.";
    Drawn hintDrawn, nextDrawn;
    const ImDrawList* list = Frames(2, [&] {
        hintDrawn = test::Record([&] { Hint(hint.c_str()); });
        nextDrawn = test::Record([&] { ImGui::TextWrapped("%s", "Next line"); });
    });
    const Shape muted = ShapeOf(*list, kMuted, hintDrawn);
    EXPECT_EQ(muted.glyphs(), VisibleChars(hint));
    EXPECT_EQ(muted.vertices, hintDrawn.to - hintDrawn.from) << "all of the hint is muted";
    const Shape next = ShapeOf(*list, kText, nextDrawn);
    EXPECT_EQ(next.glyphs(), VisibleChars("Next line"));
    EXPECT_GT(muted.max.y - muted.min.y, 1.5f * s) << "the hint wraps";
    EXPECT_GT(next.min.y, muted.max.y - s);
}

TEST_F(WidgetsTest, InfoRowPutsAMutedLabelBesideAWrappedValue) {
    std::string folder = "C:/Users/Somebody/Games";
    for (int i = 0; i < 12; ++i) folder += "/a rather long folder name";
    Drawn first, second;
    float tableRight = 0;
    const ImDrawList* list = Frames(2, [&] {
        ASSERT_TRUE(ImGui::BeginTable("install", 2));
        ImGui::TableSetupColumn("name", ImGuiTableColumnFlags_WidthFixed, 10 * s);
        ImGui::TableSetupColumn("value", ImGuiTableColumnFlags_WidthStretch);
        first = test::Record([&] { InfoRow("Folder", folder); });
        second = test::Record([&] { InfoRow("Launcher", "dev"); });
        tableRight = ImGui::GetWindowPos().x + ImGui::GetWindowWidth();
        ImGui::EndTable();
    });
    const Shape label = ShapeOf(*list, kMuted, first);
    const Shape value = ShapeOf(*list, kText, first);
    EXPECT_EQ(label.glyphs(), VisibleChars("Folder"));
    EXPECT_EQ(value.glyphs(), VisibleChars(folder));
    EXPECT_LT(label.max.x, value.min.x) << "the label is in the first column";
    EXPECT_GE(value.min.x, 10 * s) << "the value is in the second column";
    EXPECT_LE(value.max.x, tableRight);
    EXPECT_GT(value.max.y - value.min.y, 2 * s) << "a long value wraps";

    const Shape nextLabel = ShapeOf(*list, kMuted, second);
    EXPECT_EQ(nextLabel.glyphs(), VisibleChars("Launcher"));
    EXPECT_GT(nextLabel.min.y, value.max.y) << "the next row starts under the wrapped value";
    EXPECT_EQ(ShapeOf(*list, kText, second).glyphs(), VisibleChars("dev"));
}

}  // namespace
}  // namespace launcher
