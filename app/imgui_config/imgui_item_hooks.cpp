// The functions that ImGui calls with IMGUI_ENABLE_TEST_ENGINE defined.
#include "imgui_item_hooks.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace launcher {
namespace {

std::atomic<ImGuiItemRecorder*> itemRecorder{nullptr};

}  // namespace

void SetImGuiItemRecorder(ImGuiItemRecorder* recorder) { itemRecorder = recorder; }

}  // namespace launcher

void ImGuiTestEngineHook_ItemAdd(ImGuiContext* ctx, const ImRect& bb, ImGuiID id) {
    if (launcher::ImGuiItemRecorder* const recorder = launcher::itemRecorder.load()) recorder->ItemAdded(*ctx, bb, id);
}

void ImGuiTestEngineHook_ItemInfo(ImGuiContext* ctx, ImGuiID id, const char* label, ImGuiItemStatusFlags flags) {
    if (launcher::ImGuiItemRecorder* const recorder = launcher::itemRecorder.load()) {
        recorder->ItemInfo(*ctx, id, label, flags);
    }
}

void ImGuiTestEngineHook_Log(ImGuiContext* ctx, const char* fmt, ...) {
    launcher::ImGuiItemRecorder* const recorder = launcher::itemRecorder.load();
    if (recorder == nullptr) return;
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, fmt, args);
    va_end(args);
    recorder->Log(*ctx, text.c_str());
}

// Only the metrics window asks it, for a label beside an id; the recorder keeps none for it.
const char* ImGuiTestEngine_FindItemDebugLabel(ImGuiContext*, ImGuiID) { return nullptr; }
