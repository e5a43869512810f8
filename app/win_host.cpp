// The Windows host, shaped as Dear ImGui's own Win32 + Direct3D 11 example: a DPI-aware window,
// a device and swap chain (the hardware driver, else WARP), and the ImGui Win32 and Direct3D 11
// backends; the window procedure feeds the Win32 backend first.
#include "app/win_host.h"

#include <d3d11.h>
#include <dwmapi.h>
#include <imgui.h>
#include <imgui_impl_dx11.h>
#include <imgui_impl_win32.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/game_wait_win.h"
#include "app/launcher_run.h"
#include "app/message_drain.h"
#include "app/theme.h"
#include "app/window_geometry.h"
#include "platform/executable_path.h"
#include "platform/text.h"

// ImGui 1.86 declares it only inside "#if 0", to keep windows.h out of its header.
extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

namespace launcher {
namespace {

constexpr wchar_t kWindowClass[] = L"QuenforgeLauncher";
// DWMWA_USE_IMMERSIVE_DARK_MODE, which older SDK headers do not name.
constexpr DWORD kImmersiveDarkMode = 20;

// Shared by WndProc and the loop, on the interface thread only.
ID3D11Device* device = nullptr;
ID3D11DeviceContext* deviceContext = nullptr;
IDXGISwapChain* swapChain = nullptr;
ID3D11RenderTargetView* renderTarget = nullptr;
// The client size to resize the swap chain to; 0 when none is pending.
UINT resizeWidth = 0;
UINT resizeHeight = 0;

template <typename Com>
void Release(Com*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

void CreateRenderTarget() {
    ID3D11Texture2D* backBuffer = nullptr;
    if (FAILED(swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer)))) return;
    device->CreateRenderTargetView(backBuffer, nullptr, &renderTarget);
    backBuffer->Release();
}

bool CreateDevice(HWND window) {
    DXGI_SWAP_CHAIN_DESC description{};
    description.BufferDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    description.SampleDesc.Count = 1;
    description.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    description.BufferCount = 2;
    description.OutputWindow = window;
    description.Windowed = TRUE;
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_0};
    D3D_FEATURE_LEVEL level{};
    for (const D3D_DRIVER_TYPE driver : {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP}) {
        if (SUCCEEDED(D3D11CreateDeviceAndSwapChain(nullptr, driver, nullptr, 0, levels, 2, D3D11_SDK_VERSION,
                                                    &description, &swapChain, &device, &level, &deviceContext))) {
            return true;
        }
    }
    return false;
}

void ReleaseDevice() {
    Release(renderTarget);
    Release(swapChain);
    Release(deviceContext);
    Release(device);
}

LRESULT WINAPI WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ImGui_ImplWin32_WndProcHandler(window, message, wParam, lParam)) return 1;
    switch (message) {
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) return 0;
            resizeWidth = LOWORD(lParam);
            resizeHeight = HIWORD(lParam);
            return 0;
        case WM_GETMINMAXINFO: {
            const WindowSize smallest = MinimumTrackSize(GetDpiForWindow(window));
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = smallest.width;
            info->ptMinTrackSize.y = smallest.height;
            return 0;
        }
        case WM_DPICHANGED: {
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The mouse button a message presses or releases, as ImGui's Win32 backend reads it.
ButtonChange MouseButtonChange(const MSG& message) {
    const int extra = GET_XBUTTON_WPARAM(message.wParam) == XBUTTON1 ? 3 : 4;
    switch (message.message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return {0, true};
        case WM_LBUTTONUP:
            return {0, false};
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            return {1, true};
        case WM_RBUTTONUP:
            return {1, false};
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            return {2, true};
        case WM_MBUTTONUP:
            return {2, false};
        case WM_XBUTTONDOWN:
        case WM_XBUTTONDBLCLK:
            return {extra, true};
        case WM_XBUTTONUP:
            return {extra, false};
        default:
            return {};
    }
}

class WinHost final : public LauncherHost {
public:
    explicit WinHost(HINSTANCE instance) : instance_(instance) {}

    std::filesystem::path ExecutablePath() override { return launcher::ExecutablePath(); }

    bool Arguments(std::vector<std::string>& arguments) override {
        int count = 0;
        wchar_t** list = CommandLineToArgvW(GetCommandLineW(), &count);
        if (list == nullptr) return false;
        for (int i = 0; i < count; ++i) arguments.push_back(ToUtf8(list[i]));
        LocalFree(list);
        return true;
    }

    bool ShiftHeld() override { return (GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0; }

    void ShowError(const std::string& text, const std::string& caption, bool ownedByWindow) override {
        MessageBoxW(ownedByWindow ? window_ : nullptr, ToWide(text).c_str(), ToWide(caption).c_str(), MB_ICONERROR);
    }

    WindowOpening OpenWindow(const std::string& title) override {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_CLASSDC;
        windowClass.lpfnWndProc = WndProc;
        windowClass.hInstance = instance_;
        windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(1));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kWindowClass;
        classRegistered_ = RegisterClassExW(&windowClass) != 0;
        const std::wstring wideTitle = ToWide(title);
        window_ = CreateWindowExW(0, kWindowClass, wideTitle.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance_, nullptr);
        if (window_ == nullptr) return WindowOpening::kNoWindow;

        dpi_ = GetDpiForWindow(window_);
        // 0 only when the call fails; the window is then drawn at 96 dpi.
        if (dpi_ == 0) dpi_ = 96;
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const WindowRect placed =
            StartWindowRect(dpi_, {work.left, work.top, work.right - work.left, work.bottom - work.top});
        SetWindowPos(window_, nullptr, placed.left, placed.top, placed.width, placed.height, SWP_NOZORDER);
        const BOOL dark = TRUE;
        DwmSetWindowAttribute(window_, kImmersiveDarkMode, &dark, sizeof dark);

        if (!CreateDevice(window_)) {
            ReleaseDevice();
            return WindowOpening::kNoDevice;
        }
        CreateRenderTarget();
        ShowWindow(window_, SW_SHOWDEFAULT);
        return WindowOpening::kOpen;
    }

    WindowHandle Window() override { return window_; }
    float Scale() override { return static_cast<float>(dpi_) / 96.0f; }

    std::filesystem::path FontsFolder() override {
        wchar_t folder[MAX_PATH] = {};
        const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return {};
        return std::filesystem::path(folder) / "Fonts";
    }

    void StartBackends() override {
        ImGui_ImplWin32_Init(window_);
        ImGui_ImplDX11_Init(device, deviceContext);
    }

    void StopBackends() override {
        ImGui_ImplDX11_Shutdown();
        ImGui_ImplWin32_Shutdown();
    }

    void CloseWindow() override {
        ReleaseDevice();
        if (window_ != nullptr) DestroyWindow(window_);
        window_ = nullptr;
        if (classRegistered_) UnregisterClassW(kWindowClass, instance_);
        classRegistered_ = false;
    }

    bool DispatchMessages() override {
        bool quit = false;
        drain_.Drain([](MSG& message) { return PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0; },
                     MouseButtonChange, [&quit](const MSG& message) {
                         TranslateMessage(&message);
                         DispatchMessageW(&message);
                         if (message.message == WM_QUIT) quit = true;
                     });
        return !quit;
    }

    void WaitForMessages(int milliseconds) override {
        if (drain_.holding()) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(milliseconds), QS_ALLINPUT);
    }

    void BeginFrame() override {
        if (resizeWidth != 0) {
            Release(renderTarget);
            swapChain->ResizeBuffers(0, resizeWidth, resizeHeight, DXGI_FORMAT_UNKNOWN, 0);
            resizeWidth = resizeHeight = 0;
            CreateRenderTarget();
        }
        ImGui_ImplDX11_NewFrame();
        ImGui_ImplWin32_NewFrame();
    }

    Presented EndFrame() override {
        deviceContext->OMSetRenderTargets(1, &renderTarget, nullptr);
        // The theme's window background under the frame.
        const ImVec4 clear = ImGui::ColorConvertU32ToFloat4(palette::kBackground);
        deviceContext->ClearRenderTargetView(renderTarget, &clear.x);
        ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
        // An occluded window's present returns at once, without waiting for the vertical blank.
        return swapChain->Present(1, 0) == DXGI_STATUS_OCCLUDED ? Presented::kOccluded : Presented::kShown;
    }

    bool StillOccluded() override { return swapChain->Present(0, DXGI_PRESENT_TEST) == DXGI_STATUS_OCCLUDED; }

    bool Minimized() override { return IsIconic(window_) != 0; }
    bool Visible() override { return IsWindowVisible(window_) != 0; }
    void Hide() override { ShowWindow(window_, SW_HIDE); }

    bool StartGame(const std::filesystem::path& program, const std::filesystem::path& workingFolder,
                   std::uint32_t& errorCode) override {
        DWORD code = 0;
        if (StartGameProcess(program, workingFolder, game_, code)) return true;
        errorCode = code;
        return false;
    }

    std::uint32_t WaitForGame() override {
        return WaitForGameProcess(game_, [this] { DispatchMessages(); });
    }

private:
    HINSTANCE instance_;
    HWND window_ = nullptr;
    bool classRegistered_ = false;
    UINT dpi_ = 96;
    GameProcess game_;
    MessageDrain<MSG> drain_;
};

}  // namespace

int RunWindowsLauncher(HINSTANCE instance, const std::string& description, const std::string& version) {
    // Not fatal where it fails (Wine refuses it): the window is then scaled by the system.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = 0;
    {
        WinHost host(instance);
        code = RunLauncher(description, version, {MakeHttp(), MakePlatform()}, host);
    }
    CoUninitialize();
    return code;
}

}  // namespace launcher
