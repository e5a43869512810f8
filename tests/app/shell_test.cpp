// The file picker's set-up, opening with the shell and free disk space.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <objbase.h>
#include <windows.h>
// After windows.h.
#include <shobjidl.h>

#include "app/file_dialog_win.h"
#endif

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/shell.h"
#include "platform/text.h"
#include "tests/support/shell_stand_in.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

TEST(ShellTest, AnOpenerSeesWhatWouldOpen) {
    test::TempFolder temp;
    const fs::path folder = temp / Utf8Path("Velmora \xc3\xa4\xe5\xad\x97") / "play";
    test::ShellStandIn shell;
    ShellOpen("https://example.com/releases/tag/v1.2.0");
    ShellOpenW(folder);
    ShellOpen(PathToUtf8(folder / "launcher.log"));

    EXPECT_EQ(shell.opened, (std::vector<std::string>{"https://example.com/releases/tag/v1.2.0", PathToUtf8(folder),
                                                      PathToUtf8(folder / "launcher.log")}));
}

TEST(ShellTest, APickerAnswersInsteadOfTheDialog) {
    test::ShellStandIn shell;
    int window = 0;
    shell.pickerAnswer = L"C:\\Games\\Velmora.iso";
    EXPECT_EQ(PickPath(&window, false, nullptr), L"C:\\Games\\Velmora.iso");
    shell.pickerAnswer = L"C:\\Games\\Velmora disc";
    EXPECT_EQ(PickPath(&window, true, L"Choose a folder of your music"), L"C:\\Games\\Velmora disc");

    ASSERT_EQ(shell.pickerCalls.size(), 2u);
    EXPECT_EQ(shell.pickerCalls[0].owner, &window);
    EXPECT_FALSE(shell.pickerCalls[0].folder);
    EXPECT_FALSE(shell.pickerCalls[0].title.has_value());
    EXPECT_TRUE(shell.pickerCalls[1].folder);
    EXPECT_EQ(shell.pickerCalls[1].title, L"Choose a folder of your music");
}

// Parallel tests write to the same drive, so the two readings may differ a little.
constexpr std::uint64_t kDrift = 1ull << 30;

TEST(ShellTest, FreeSpaceOfAFolderNotMadeYetIsItsDrives) {
    test::TempFolder temp;
    for (const fs::path& base : {temp.path(), temp / "Velmora", temp / "not" / "made" / "yet" / "Velmora"}) {
        SCOPED_TRACE(PathToUtf8(base));
        const std::uint64_t expected = fs::space(temp.path()).available;
        const std::uint64_t free = FreeSpace(base);
        EXPECT_GT(free, 0u);
        EXPECT_LT(free > expected ? free - expected : expected - free, kDrift);
    }
}

#ifdef _WIN32

TEST(ShellTest, FreeSpaceOnAMissingDriveIsZero) {
    const DWORD drives = GetLogicalDrives();
    wchar_t letter = 0;
    for (wchar_t candidate = L'Q'; candidate <= L'Y' && letter == 0; ++candidate) {
        if ((drives & (1u << (candidate - L'A'))) == 0) letter = candidate;
    }
    ASSERT_NE(letter, 0) << "no free drive letter from Q: to Y:";
    const fs::path missing = std::wstring(1, letter) + L":\\Games\\Velmora";
    EXPECT_EQ(FreeSpace(missing), 0u);
}

// COM for one test thread, apartment-threaded as the launcher's interface thread has it.
class ComApartment {
public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    HRESULT result() const { return result_; }

private:
    HRESULT result_;
};

// The dialog is set up on a real dialog object and never shown. Under Wine it can only be made
// with a display (run-tests.sh starts Xvfb).
TEST(ShellTest, FileDialogSetUpInBothModes) {
    ComApartment com;
    ASSERT_TRUE(SUCCEEDED(com.result()));
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder mode" : "file mode");
        IFileOpenDialog* dialog = nullptr;
        const HRESULT made = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                              reinterpret_cast<void**>(&dialog));
        ASSERT_TRUE(SUCCEEDED(made)) << "no file dialog (0x" << std::hex << made << "): is DISPLAY set?";
        FILEOPENDIALOGOPTIONS before = 0;
        ASSERT_TRUE(SUCCEEDED(dialog->GetOptions(&before)));

        EXPECT_EQ(SetUpFileDialog(dialog, folder, folder ? L"Choose a folder of your music" : nullptr), S_OK);
        FILEOPENDIALOGOPTIONS options = 0;
        ASSERT_TRUE(SUCCEEDED(dialog->GetOptions(&options)));
        EXPECT_EQ(options & FOS_FORCEFILESYSTEM, static_cast<FILEOPENDIALOGOPTIONS>(FOS_FORCEFILESYSTEM));
        EXPECT_EQ((options & FOS_PICKFOLDERS) != 0, folder);
        EXPECT_EQ(options & ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_FORCEFILESYSTEM | FOS_PICKFOLDERS),
                  before & ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_FORCEFILESYSTEM | FOS_PICKFOLDERS))
            << "the dialog's other options are kept";
        dialog->Release();
    }
}

// Without COM on the calling thread the dialog cannot be made: an empty path, nothing shown.
TEST(ShellTest, PickPathWithoutComIsEmpty) {
    std::wstring picked = L"unset";
    std::thread([&] { picked = PickPath(nullptr, true, nullptr); }).join();
    EXPECT_TRUE(picked.empty());
}

#endif

}  // namespace
}  // namespace launcher
