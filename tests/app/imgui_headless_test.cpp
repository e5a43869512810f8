// Dear ImGui runs without any window or device: the pages are drawn and inspected this way.
#include <gtest/gtest.h>
#include <imgui.h>

#include "tests/support/headless_imgui.h"

namespace launcher {
namespace {

TEST(ImGuiHeadlessTest, TwoFramesProduceDrawData) {
    test::HeadlessImGui ui;
    ui.BuildFonts();
    bool ticked = true;
    for (int frame = 0; frame < 2; ++frame) {
        ui.Frame([&] {
            ImGui::TextUnformatted("Velmora");
            ImGui::Button("Play");
            ImGui::Checkbox("Play at start", &ticked);
            ImGui::ProgressBar(0.4f);
        });
    }
    const ImDrawData* data = ImGui::GetDrawData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->Valid);
    EXPECT_GE(data->CmdListsCount, 1);
    EXPECT_GT(data->TotalVtxCount, 0);
    EXPECT_GT(data->TotalIdxCount, 0);
}

}  // namespace
}  // namespace launcher
