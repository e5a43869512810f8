// The Windows host's window and Direct3D 11 device under Wine, frame by frame: presents shown,
// occluded while the window is minimised (Wine's DXGI says so for a minimised window; Windows also
// for a locked or sleeping screen), and the device made again.
#include "app/win_host.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <memory>

#include "tests/support/headless_imgui.h"

namespace launcher {
namespace {

class WinHostWineTest : public testing::Test {
protected:
    void SetUp() override {
        SetImGuiAssertHook(test::FailOnImGuiAssert);
        host = MakeWindowsHost(GetModuleHandleW(nullptr));
        ASSERT_EQ(host->OpenWindow("Host test"), WindowOpening::kOpen);
        ImGui::CreateContext();
        ImGui::GetIO().IniFilename = nullptr;
        host->StartBackends();
        started = true;
    }

    void TearDown() override {
        if (started) {
            host->StopBackends();
            ImGui::DestroyContext();
        }
        if (host) host->CloseWindow();
        SetImGuiAssertHook(nullptr);
    }

    HWND Window() { return static_cast<HWND>(host->Window()); }

    Presented Frame() {
        host->DispatchMessages();
        if (!host->BeginFrame()) return Presented::kDeviceLost;
        ImGui::NewFrame();
        ImGui::Begin("frame");
        ImGui::TextUnformatted("a frame");
        ImGui::End();
        ImGui::Render();
        return host->EndFrame();
    }

    std::unique_ptr<LauncherHost> host;
    bool started = false;
};

TEST_F(WinHostWineTest, AMinimisedWindowsPresentIsOccludedUntilItIsRestored) {
    EXPECT_EQ(Frame(), Presented::kShown);
    ShowWindow(Window(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(Window()));
    EXPECT_EQ(Frame(), Presented::kOccluded);
    EXPECT_TRUE(host->StillOccluded());
    ShowWindow(Window(), SW_RESTORE);
    EXPECT_FALSE(host->StillOccluded());
    EXPECT_EQ(Frame(), Presented::kShown);
}

// What the loop does once a frame says the device is lost.
TEST_F(WinHostWineTest, ADeviceMadeAgainDrawsTheNextFramesAndResizes) {
    EXPECT_EQ(Frame(), Presented::kShown);
    ASSERT_TRUE(host->RestoreDevice());
    EXPECT_STREQ(ImGui::GetIO().BackendRendererName, "imgui_impl_dx11");
    EXPECT_EQ(Frame(), Presented::kShown);
    EXPECT_NE(ImGui::GetIO().Fonts->TexID, nullptr) << "the font texture was not made on the new device";
    SetWindowPos(Window(), nullptr, 0, 0, 700, 500, SWP_NOZORDER | SWP_NOMOVE);
    EXPECT_EQ(Frame(), Presented::kShown);
    EXPECT_EQ(Frame(), Presented::kShown);
}

}  // namespace
}  // namespace launcher
