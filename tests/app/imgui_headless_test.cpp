// Dear ImGui runs without any window or device: the pages are drawn and inspected this way.
#include <gtest/gtest.h>
#include <imgui.h>

namespace launcher {
namespace {

void FailOnImGuiAssert(const char* expression, const char* file, int line) {
    ADD_FAILURE_AT(file, line) << "ImGui assertion failed: " << expression;
}

TEST(ImGuiHeadlessTest, TwoFramesProduceDrawData) {
    SetImGuiAssertHook(FailOnImGuiAssert);
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(900, 700);
    io.DeltaTime = 1.0f / 60.0f;
    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    ASSERT_NE(pixels, nullptr);

    bool ticked = true;
    // A window is measured on its first frame and drawn from the second on.
    for (int frame = 0; frame < 2; ++frame) {
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(io.DisplaySize);
        ImGui::Begin("Launcher", nullptr, ImGuiWindowFlags_NoDecoration);
        ImGui::TextUnformatted("Velmora");
        ImGui::Button("Play");
        ImGui::Checkbox("Play at start", &ticked);
        ImGui::ProgressBar(0.4f);
        ImGui::End();
        ImGui::Render();
    }
    const ImDrawData* data = ImGui::GetDrawData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->Valid);
    EXPECT_GE(data->CmdListsCount, 1);
    EXPECT_GT(data->TotalVtxCount, 0);
    EXPECT_GT(data->TotalIdxCount, 0);
    ImGui::DestroyContext();
    SetImGuiAssertHook(nullptr);
}

}  // namespace
}  // namespace launcher
