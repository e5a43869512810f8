#include <atomic>
#include <cstdio>

#include "launcher_imconfig.h"

namespace launcher {
namespace {

std::atomic<ImGuiAssertHook> assertHook{nullptr};

}  // namespace

void SetImGuiAssertHook(ImGuiAssertHook hook) { assertHook = hook; }

void ImGuiAssertFailed(const char* expression, const char* file, int line) {
    if (const ImGuiAssertHook hook = assertHook.load()) {
        hook(expression, file, line);
    } else {
        std::fprintf(stderr, "ImGui assertion failed: %s (%s:%d)\n", expression, file, line);
    }
}

}  // namespace launcher
