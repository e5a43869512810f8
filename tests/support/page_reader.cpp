#include "tests/support/page_reader.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <utility>

namespace launcher::test {
namespace {

// Positions ImGui computes from the same numbers compare equal; this only absorbs float rounding.
constexpr float kSame = 0.01f;
// Wider gaps than this many spaces part two runs, so that texts placed side by side stay apart.
constexpr int kMostSpacesInARun = 3;

ImU32 Opaque(ImU32 colour) { return colour | IM_COL32_A_MASK; }

struct AtlasGlyph {
    const ImFont* font;
    const ImFontGlyph* glyph;
};

using UvCorner = std::pair<float, float>;

// Every visible glyph of every font in the atlas, by the top-left corner of its texture
// rectangle, which no other glyph shares.
std::map<UvCorner, AtlasGlyph> GlyphsByUv() {
    std::map<UvCorner, AtlasGlyph> glyphs;
    const ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
    for (const ImFont* font : atlas.Fonts) {
        for (const ImFontGlyph& glyph : font->Glyphs) {
            if (glyph.Visible) glyphs.emplace(UvCorner{glyph.U0, glyph.V0}, AtlasGlyph{font, &glyph});
        }
    }
    return glyphs;
}

// One glyph quad as RenderText writes it: four vertices, clockwise from the top-left corner.
struct DrawnGlyph {
    unsigned int codepoint = 0;
    const ImFont* font = nullptr;
    ImU32 colour = 0;
    float scale = 1.0f;
    // The pen position the glyph was drawn from, and the one after it.
    float penX = 0.0f;
    float penY = 0.0f;
    float nextPenX = 0.0f;
};

// The glyph whose quad starts at vertex i. A glyph cut at the clipping rectangle's right or bottom
// edge (a small button's descenders) keeps its top-left corner and is found too; one cut at the
// left or top is not.
std::optional<DrawnGlyph> GlyphAt(const ImVector<ImDrawVert>& vertices, int i,
                                  const std::map<UvCorner, AtlasGlyph>& glyphs) {
    const ImDrawVert& topLeft = vertices[i];
    const ImDrawVert& topRight = vertices[i + 1];
    const ImDrawVert& bottomRight = vertices[i + 2];
    const ImDrawVert& bottomLeft = vertices[i + 3];
    const auto found = glyphs.find(UvCorner{topLeft.uv.x, topLeft.uv.y});
    if (found == glyphs.end()) return std::nullopt;
    const ImFontGlyph& glyph = *found->second.glyph;
    if (topRight.uv.y != glyph.V0 || bottomLeft.uv.x != glyph.U0 || bottomRight.uv.x != topRight.uv.x ||
        bottomRight.uv.y != bottomLeft.uv.y || topRight.pos.y != topLeft.pos.y || bottomLeft.pos.x != topLeft.pos.x ||
        bottomRight.uv.x <= glyph.U0 || bottomRight.uv.x > glyph.U1 || bottomRight.uv.y > glyph.V1) {
        return std::nullopt;
    }
    // When its right is cut, the share of the glyph's width that is drawn gives the scale.
    const float drawnWidth = bottomRight.uv.x == glyph.U1
                                 ? glyph.X1 - glyph.X0
                                 : (glyph.X1 - glyph.X0) * (bottomRight.uv.x - glyph.U0) / (glyph.U1 - glyph.U0);
    if (drawnWidth <= 0.0f) return std::nullopt;
    DrawnGlyph drawn;
    drawn.codepoint = glyph.Codepoint;
    drawn.font = found->second.font;
    drawn.colour = Opaque(topLeft.col);
    drawn.scale = (topRight.pos.x - topLeft.pos.x) / drawnWidth;
    drawn.penX = topLeft.pos.x - glyph.X0 * drawn.scale;
    drawn.penY = topLeft.pos.y - glyph.Y0 * drawn.scale;
    drawn.nextPenX = drawn.penX + glyph.AdvanceX * drawn.scale;
    return drawn;
}

// The number of spaces the gap before glyph leaves in run, or -1 when glyph starts a run of its own.
int SpacesBefore(const TextRun& run, float runScale, const DrawnGlyph& glyph) {
    if (run.text.empty() || glyph.colour != run.colour || glyph.font != run.font ||
        std::fabs(glyph.scale - runScale) > kSame || std::fabs(glyph.penY - run.position.y) > kSame) {
        return -1;
    }
    const float gap = glyph.penX - run.right;
    if (std::fabs(gap) <= kSame) return 0;
    const ImFontGlyph* space = glyph.font->FindGlyphNoFallback(' ');
    if (space == nullptr || gap < 0.0f) return -1;
    const float spaceWidth = space->AdvanceX * glyph.scale;
    const int spaces = static_cast<int>(std::lround(gap / spaceWidth));
    if (spaces < 1 || spaces > kMostSpacesInARun || std::fabs(gap - spaces * spaceWidth) > kSame) return -1;
    return spaces;
}

bool NextLineOf(const TextRun& line, const TextRun& first, const TextRun& previous) {
    return line.colour == first.colour && line.font == first.font && std::fabs(line.size - first.size) <= kSame &&
           std::fabs(line.position.x - first.position.x) <= kSame &&
           std::fabs(line.position.y - (previous.position.y + previous.size)) <= kSame;
}

// Whether text is lines one after another, each break standing for one space of text or none.
// Spaces at the text's ends draw nothing and are not compared.
bool SpellsLines(std::string text, const std::vector<std::string>& lines) {
    text.erase(0, text.find_first_not_of(' '));
    text.erase(text.find_last_not_of(' ') + 1);
    size_t at = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && at < text.size() && text[at] == ' ') ++at;
        if (text.compare(at, lines[i].size(), lines[i]) != 0) return false;
        at += lines[i].size();
    }
    return at == text.size();
}

}  // namespace

std::string ColourName(ImU32 colour) {
    char name[8];
    std::snprintf(name, sizeof name, "%02X%02X%02X", static_cast<unsigned>((colour >> IM_COL32_R_SHIFT) & 0xFF),
                  static_cast<unsigned>((colour >> IM_COL32_G_SHIFT) & 0xFF),
                  static_cast<unsigned>((colour >> IM_COL32_B_SHIFT) & 0xFF));
    return name;
}

PageReader::PageReader(ImVec2 displaySize) {
    ImGui::GetIO().DisplaySize = displaySize;
    GImGui->TestEngineHookItems = true;
    SetImGuiItemRecorder(this);
}

PageReader::~PageReader() { SetImGuiItemRecorder(nullptr); }

void PageReader::Frame(const std::function<void()>& draw) {
    items_.clear();
    imgui_.BareFrame(draw);
    ReadTexts();
}

void PageReader::Frames(int count, const std::function<void()>& draw) {
    for (int i = 0; i < count; ++i) Frame(draw);
}

bool PageReader::Click(const std::string& label, const std::function<void()>& draw) {
    const PageItem* item = FindItem(label);
    if (item == nullptr) {
        ADD_FAILURE() << "nothing to click labelled \"" << label << "\" in:\n" << Describe();
        return false;
    }
    ClickAt(item->centre(), draw);
    return true;
}

void PageReader::ClickAt(ImVec2 point, const std::function<void()>& draw) {
    ImGuiIO& io = ImGui::GetIO();
    io.MousePos = point;
    io.MouseDown[0] = true;
    Frame(draw);
    io.MouseDown[0] = false;
    Frame(draw);
}

std::vector<FoundText> PageReader::Paragraphs() const {
    std::vector<FoundText> paragraphs;
    const TextRun* first = nullptr;
    const TextRun* previous = nullptr;
    for (const TextRun& run : runs_) {
        if (first != nullptr && NextLineOf(run, *first, *previous)) {
            FoundText& paragraph = paragraphs.back();
            paragraph.text += " " + run.text;
            paragraph.right = std::max(paragraph.right, run.right);
            ++paragraph.lines;
        } else {
            paragraphs.push_back(FoundText{run.text, run.colour, run.position, run.right, run.size, run.font, 1});
            first = &run;
        }
        previous = &run;
    }
    return paragraphs;
}

const PageItem* PageReader::FindItem(const std::string& label) const {
    const PageItem* found = nullptr;
    int count = 0;
    for (const PageItem& item : items_) {
        if (item.label.empty() || (item.label != label && item.shown() != label)) continue;
        if (found == nullptr) found = &item;
        ++count;
    }
    if (count > 1) ADD_FAILURE() << count << " items are labelled \"" << label << "\"";
    return found;
}

std::optional<FoundText> PageReader::FindText(const std::string& text) const {
    // The runs again, grouped the way Paragraphs groups them, each line kept apart.
    std::vector<FoundText> paragraphs = Paragraphs();
    size_t run = 0;
    for (FoundText& paragraph : paragraphs) {
        std::vector<std::string> lines;
        for (int i = 0; i < paragraph.lines; ++i) lines.push_back(runs_[run + i].text);
        run += paragraph.lines;
        if (SpellsLines(text, lines)) return paragraph;
    }
    return std::nullopt;
}

std::optional<FoundText> PageReader::ItemText(const std::string& label) const {
    const PageItem* item = FindItem(label);
    if (item == nullptr) return std::nullopt;
    for (const FoundText& paragraph : Paragraphs()) {
        if (paragraph.text == item->shown() && paragraph.position.x >= item->min.x &&
            paragraph.position.x < item->max.x && paragraph.position.y >= item->min.y &&
            paragraph.position.y < item->max.y) {
            return paragraph;
        }
    }
    return std::nullopt;
}

std::optional<FoundText> PageReader::FindTextMatching(const std::regex& pattern) const {
    for (const FoundText& paragraph : Paragraphs()) {
        if (std::regex_match(paragraph.text, pattern)) return paragraph;
    }
    return std::nullopt;
}

std::string PageReader::Describe() const {
    std::string description;
    char where[64];
    for (const PageItem& item : items_) {
        std::snprintf(where, sizeof where, " at %.0f,%.0f", item.min.x, item.min.y);
        description += "item \"" + item.label + "\"" + where + (item.disabled ? " disabled" : "") +
                       (item.checkable ? (item.checked ? " checked" : " unchecked") : "") + "\n";
    }
    for (const FoundText& paragraph : Paragraphs()) {
        std::snprintf(where, sizeof where, " at %.0f,%.0f", paragraph.position.x, paragraph.position.y);
        description += "text \"" + paragraph.text + "\" " + ColourName(paragraph.colour) + where + "\n";
    }
    return description;
}

void PageReader::ItemAdded(ImGuiContext& context, const ImRect& rect, ImGuiID id) {
    // The window ImGui opens by itself for what is drawn outside any window: never a page's.
    if (context.CurrentWindow != nullptr && context.CurrentWindow->IsFallbackWindow) return;
    PageItem item;
    item.id = id;
    item.min = rect.Min;
    item.max = rect.Max;
    item.disabled = (context.LastItemData.InFlags & ImGuiItemFlags_Disabled) != 0;
    items_.push_back(item);
}

void PageReader::ItemInfo(ImGuiContext&, ImGuiID id, const char* label, ImGuiItemStatusFlags flags) {
    for (auto item = items_.rbegin(); item != items_.rend(); ++item) {
        if (item->id != id) continue;
        item->label = label != nullptr ? label : "";
        item->checkable = (flags & ImGuiItemStatusFlags_Checkable) != 0;
        item->checked = (flags & ImGuiItemStatusFlags_Checked) != 0;
        return;
    }
}

void PageReader::Log(ImGuiContext&, const char*) {}

void PageReader::ReadTexts() {
    runs_.clear();
    const ImDrawData* data = ImGui::GetDrawData();
    if (data == nullptr) return;
    const std::map<UvCorner, AtlasGlyph> glyphs = GlyphsByUv();
    for (int list = 0; list < data->CmdListsCount; ++list) {
        const ImVector<ImDrawVert>& vertices = data->CmdLists[list]->VtxBuffer;
        // No run goes on from one window's list into the next.
        const size_t firstRun = runs_.size();
        float runScale = 1.0f;
        for (int i = 0; i + 3 < vertices.Size;) {
            const std::optional<DrawnGlyph> glyph = GlyphAt(vertices, i, glyphs);
            if (!glyph) {
                ++i;
                continue;
            }
            i += 4;
            const int spaces = runs_.size() == firstRun ? -1 : SpacesBefore(runs_.back(), runScale, *glyph);
            if (spaces < 0) {
                TextRun run;
                run.colour = glyph->colour;
                run.position = ImVec2(glyph->penX, glyph->penY);
                run.size = glyph->font->FontSize * glyph->scale;
                run.font = glyph->font;
                runs_.push_back(run);
                runScale = glyph->scale;
            }
            TextRun& run = runs_.back();
            run.text.append(spaces > 0 ? spaces : 0, ' ');
            char utf8[5];
            run.text += ImTextCharToUtf8(utf8, glyph->codepoint);
            run.right = glyph->nextPenX;
        }
    }
}

}  // namespace launcher::test
