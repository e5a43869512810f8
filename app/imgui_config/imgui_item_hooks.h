#pragma once
// ImGui's item hooks, handed to a recorder that a test installs. ImGui calls them for the items
// that have an id (buttons, check boxes, invisible buttons; not text) while its context's
// TestEngineHookItems is set; the launcher never sets it.

#include <imgui.h>
#include <imgui_internal.h>

namespace launcher {

class ImGuiItemRecorder {
public:
    virtual ~ImGuiItemRecorder() = default;
    // An item was added to the current window: context.LastItemData holds its flags. Called before
    // ImGui's clipping test, so also for items that are not drawn.
    virtual void ItemAdded(ImGuiContext& context, const ImRect& rect, ImGuiID id) = 0;
    // A widget's label (as given, "##" part included) and status, after its ItemAdded; not for a
    // clipped widget, nor for an invisible button.
    virtual void ItemInfo(ImGuiContext& context, ImGuiID id, const char* label, ImGuiItemStatusFlags flags) = 0;
    // A line that ImGui logs for a test.
    virtual void Log(ImGuiContext& context, const char* text) = 0;
};

// Installs the recorder (null: none); the hooks do nothing without one.
void SetImGuiItemRecorder(ImGuiItemRecorder* recorder);

}  // namespace launcher
