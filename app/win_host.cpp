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
#include "app/one_launcher_win.h"
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
// How long a launcher waits for another on its folder to end before it gives way to it: a holder
// with a window of its own is working; one without is ending (or starting), and is given longer.
constexpr DWORD kClaimGiveWayMilliseconds = 5000;
constexpr DWORD kClaimLongestMilliseconds = 60000;

// Shared by WndProc and the loop, on the interface thread only.
// The device objects, made and released together; no view while the device is lost.
struct DeviceObjects {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    IDXGISwapChain* swapChain = nullptr;
    ID3D11RenderTargetView* view = nullptr;
};
DeviceObjects d3d;
// The client size to resize the swap chain to; 0 when none is pending.
UINT resizeWidth = 0;
UINT resizeHeight = 0;

template <typename Com>
void Release(Com*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

// What Direct3D answers once the device is gone: a driver updated or reset (a TDR), the GPU
// removed or switched.
bool DeviceLost(HRESULT result) { return result == DXGI_ERROR_DEVICE_REMOVED || result == DXGI_ERROR_DEVICE_RESET; }

bool CreateRenderTarget() {
    ID3D11Texture2D* backBuffer = nullptr;
    if (FAILED(d3d.swapChain->GetBuffer(0, IID_PPV_ARGS(&backBuffer)))) return false;
    const HRESULT made = d3d.device->CreateRenderTargetView(backBuffer, nullptr, &d3d.view);
    backBuffer->Release();
    return SUCCEEDED(made);
}

// Alt+Enter would switch the swap chain to exclusive full screen, which the window is not made for.
void RefuseAltEnter(HWND window) {
    IDXGIFactory* factory = nullptr;
    if (FAILED(d3d.swapChain->GetParent(IID_PPV_ARGS(&factory)))) return;
    factory->MakeWindowAssociation(window, DXGI_MWA_NO_ALT_ENTER);
    factory->Release();
}

void ReleaseDevice() {
    Release(d3d.view);
    Release(d3d.swapChain);
    Release(d3d.context);
    Release(d3d.device);
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
    // Whatever a failed attempt made is released before the next, and after the last.
    for (const D3D_DRIVER_TYPE driver : {D3D_DRIVER_TYPE_HARDWARE, D3D_DRIVER_TYPE_WARP}) {
        if (SUCCEEDED(D3D11CreateDeviceAndSwapChain(nullptr, driver, nullptr, 0, levels, 2, D3D11_SDK_VERSION,
                                                    &description, &d3d.swapChain, &d3d.device, &level,
                                                    &d3d.context)) &&
            CreateRenderTarget()) {
            RefuseAltEnter(window);
            return true;
        }
        ReleaseDevice();
    }
    return false;
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

    bool ClaimBaseFolder(const std::filesystem::path& baseFolder) override {
        if (claim_.Claim(baseFolder, kClaimGiveWayMilliseconds, kClaimLongestMilliseconds)) return true;
        claim_.ShowHoldersWindow();
        return false;
    }

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
        claim_.MarkWindow(window_);

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

        if (!CreateDevice(window_)) return WindowOpening::kNoDevice;
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
        rendererStarted_ = ImGui_ImplDX11_Init(d3d.device, d3d.context);
    }

    void StopBackends() override {
        StopRenderer();
        ImGui_ImplWin32_Shutdown();
    }

    void CloseWindow() override {
        ReleaseDevice();
        if (window_ != nullptr) {
            claim_.UnmarkWindow(window_);
            DestroyWindow(window_);
        }
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

    bool BeginFrame() override {
        if (resizeWidth != 0) {
            Release(d3d.view);
            const HRESULT resized = d3d.swapChain->ResizeBuffers(0, resizeWidth, resizeHeight, DXGI_FORMAT_UNKNOWN, 0);
            resizeWidth = resizeHeight = 0;
            if (DeviceLost(resized)) return false;
        }
        if (d3d.view == nullptr && !CreateRenderTarget()) return false;
        ImGui_ImplDX11_NewFrame();
        ImGui_ImplWin32_NewFrame();
        return true;
    }

    Presented EndFrame() override {
        d3d.context->OMSetRenderTargets(1, &d3d.view, nullptr);
        // The theme's window background under the frame.
        const ImVec4 clear = ImGui::ColorConvertU32ToFloat4(palette::kBackground);
        d3d.context->ClearRenderTargetView(d3d.view, &clear.x);
        ImGui_ImplDX11_RenderDrawData(ImGui::GetDrawData());
        const HRESULT presented = d3d.swapChain->Present(1, 0);
        // An occluded window's present returns at once, without waiting for the vertical blank.
        if (presented == DXGI_STATUS_OCCLUDED) return Presented::kOccluded;
        return DeviceLost(presented) ? Presented::kDeviceLost : Presented::kShown;
    }

    bool StillOccluded() override { return d3d.swapChain->Present(0, DXGI_PRESENT_TEST) == DXGI_STATUS_OCCLUDED; }

    bool RestoreDevice() override {
        StopRenderer();
        ReleaseDevice();
        // The new swap chain takes the window's size as it is now.
        resizeWidth = resizeHeight = 0;
        if (!CreateDevice(window_)) return false;
        rendererStarted_ = ImGui_ImplDX11_Init(d3d.device, d3d.context);
        return rendererStarted_;
    }

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
    void StopRenderer() {
        if (rendererStarted_) ImGui_ImplDX11_Shutdown();
        rendererStarted_ = false;
    }

    HINSTANCE instance_;
    HWND window_ = nullptr;
    bool classRegistered_ = false;
    UINT dpi_ = 96;
    GameProcess game_;
    MessageDrain<MSG> drain_;
    bool rendererStarted_ = false;
    // Let go when the host ends, after the launcher's last file is written.
    BaseFolderClaim claim_;
};

}  // namespace

std::unique_ptr<LauncherHost> MakeWindowsHost(HINSTANCE instance) { return std::make_unique<WinHost>(instance); }

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
