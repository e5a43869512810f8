// The Windows shell helpers: the COM file-open dialog, ShellExecuteW and GetDiskFreeSpaceExW.
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#include <shobjidl.h>

#include "app/file_dialog_win.h"
#include "app/shell.h"
#include "app/shell_system.h"
#include "platform/text.h"

namespace launcher {

HRESULT SetUpFileDialog(IFileDialog* dialog, bool folder, const wchar_t* title) {
    FILEOPENDIALOGOPTIONS options = 0;
    HRESULT result = dialog->GetOptions(&options);
    if (FAILED(result)) return result;
    options |= FOS_FORCEFILESYSTEM;
    if (folder) options |= FOS_PICKFOLDERS;
    result = dialog->SetOptions(options);
    if (FAILED(result)) return result;
    if (folder) return dialog->SetTitle(title != nullptr ? title : L"Choose the folder with the game's files");
    static const COMDLG_FILTERSPEC kTypes[] = {
        {L"Xbox disc image or default.xbe", L"*.iso;default.xbe"},
        {L"All files", L"*.*"},
    };
    result = dialog->SetFileTypes(ARRAYSIZE(kTypes), kTypes);
    if (FAILED(result)) return result;
    return dialog->SetTitle(L"Choose the game's disc image");
}

std::wstring ShowPathDialog(WindowHandle owner, bool folder, const wchar_t* title) {
    IFileOpenDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&dialog)))) {
        return {};
    }
    std::wstring chosen;
    if (SUCCEEDED(SetUpFileDialog(dialog, folder, title)) && SUCCEEDED(dialog->Show(static_cast<HWND>(owner)))) {
        IShellItem* item = nullptr;
        if (SUCCEEDED(dialog->GetResult(&item))) {
            PWSTR name = nullptr;
            if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
                chosen = name;
                CoTaskMemFree(name);
            }
            item->Release();
        }
    }
    dialog->Release();
    return chosen;
}

void OpenWithShell(const std::wstring& text) {
    ShellExecuteW(nullptr, L"open", text.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::uint64_t AvailableBytes(const std::filesystem::path& existing) {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(PathToWide(existing).c_str(), &available, nullptr, nullptr)) return 0;
    return available.QuadPart;
}

}  // namespace launcher
