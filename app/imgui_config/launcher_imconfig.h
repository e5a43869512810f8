#pragma once
// Our Dear ImGui configuration. A failed ImGui assertion goes to a hook, which tests turn into a
// test failure; the program itself reports it on standard error and carries on.
//
// ImGui's item hooks are compiled in (imgui_item_hooks.h), so that tests read what a page drew.
// ImGui calls them only while its context's TestEngineHookItems is set, which only tests do.

namespace launcher {
using ImGuiAssertHook = void (*)(const char* expression, const char* file, int line);
void SetImGuiAssertHook(ImGuiAssertHook hook);
void ImGuiAssertFailed(const char* expression, const char* file, int line);
}  // namespace launcher

#define IM_ASSERT(expr) ((expr) ? (void)0 : ::launcher::ImGuiAssertFailed(#expr, __FILE__, __LINE__))
#define IMGUI_DISABLE_OBSOLETE_FUNCTIONS
#define IMGUI_ENABLE_TEST_ENGINE
