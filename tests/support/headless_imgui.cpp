#include "tests/support/headless_imgui.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace launcher::test {

void FailOnImGuiAssert(const char* expression, const char* file, int line) {
    ADD_FAILURE_AT(file, line) << "ImGui assertion failed: " << expression;
}

std::filesystem::path WineFontsFolder() { return LAUNCHER_WINE_FONTS; }

HeadlessImGui::HeadlessImGui() {
    SetImGuiAssertHook(FailOnImGuiAssert);
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(900, 700);
    io.DeltaTime = 1.0f / 60.0f;
}

HeadlessImGui::~HeadlessImGui() {
    ImGui::DestroyContext();
    SetImGuiAssertHook(nullptr);
}

void HeadlessImGui::BuildFonts() {
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    ImGui::GetIO().Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    ASSERT_NE(pixels, nullptr) << "the font atlas did not build";
}

ImDrawList* HeadlessImGui::Frame(const std::function<void()>& draw) {
    ImDrawList* list = nullptr;
    BareFrame([&] { list = DisplayWindow(draw); });
    return list;
}

void HeadlessImGui::BareFrame(const std::function<void()>& draw) {
    ImGui::NewFrame();
    draw();
    ImGui::Render();
}

ImDrawList* DisplayWindow(const std::function<void()>& draw) {
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImGui::GetIO().DisplaySize);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0.0f);
    ImGui::Begin("Launcher", nullptr, ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings);
    ImGui::PopStyleVar();
    ImDrawList* list = ImGui::GetWindowDrawList();
    draw();
    ImGui::End();
    return list;
}

Shape ShapeOf(const ImDrawList& list, ImU32 colour, const Drawn& drawn, float left, float right) {
    Shape shape;
    for (int i = drawn.from; i < drawn.to; ++i) {
        const ImDrawVert& v = list.VtxBuffer[i];
        if (v.col != colour || v.pos.x < left || v.pos.x >= right) continue;
        if (shape.vertices == 0) {
            shape.first = v;
            shape.min = shape.max = v.pos;
        }
        shape.min = ImVec2(std::min(shape.min.x, v.pos.x), std::min(shape.min.y, v.pos.y));
        shape.max = ImVec2(std::max(shape.max.x, v.pos.x), std::max(shape.max.y, v.pos.y));
        ++shape.vertices;
    }
    return shape;
}

Drawn Record(const std::function<void()>& draw) {
    Drawn drawn;
    drawn.from = ImGui::GetWindowDrawList()->VtxBuffer.Size;
    draw();
    drawn.to = ImGui::GetWindowDrawList()->VtxBuffer.Size;
    return drawn;
}

}  // namespace launcher::test
