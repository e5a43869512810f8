// launcher.exe's resources as Windows reads them: the icon of the window class in its four sizes,
// and the version information of this build.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "game/game.h"
#include "platform/text.h"

namespace launcher {
namespace {

const wchar_t* const kLauncher = L"" LAUNCHER_EXE;

// The launcher's file loaded for its resources only: nothing of it runs.
class LauncherResourcesTest : public testing::Test {
protected:
    void SetUp() override {
        module = LoadLibraryExW(kLauncher, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << "cannot load " << ToUtf8(kLauncher) << " (" << GetLastError() << ")";
    }
    void TearDown() override {
        if (module != nullptr) FreeLibrary(module);
    }

    HMODULE module = nullptr;
};

TEST_F(LauncherResourcesTest, TheWindowClassFindsIconOne) {
    HICON icon = LoadIconW(module, MAKEINTRESOURCEW(1));
    EXPECT_NE(icon, nullptr) << GetLastError();
}

// The icon group as stored: one entry a size, 0 standing for 256 pixels.
#pragma pack(push, 2)
struct IconDirectory {
    WORD reserved;
    WORD type;
    WORD count;
};
struct IconDirectoryEntry {
    BYTE width;
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

TEST_F(LauncherResourcesTest, IconOneHoldsEachSizeTheShellAsksFor) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */);
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(bytes, nullptr);
    const DWORD size = SizeofResource(module, found);
    ASSERT_GE(size, sizeof(IconDirectory));
    const auto* directory = reinterpret_cast<const IconDirectory*>(bytes);
    ASSERT_EQ(size, sizeof(IconDirectory) + directory->count * sizeof(IconDirectoryEntry));
    std::set<int> sizes;
    const auto* entries = reinterpret_cast<const IconDirectoryEntry*>(bytes + sizeof(IconDirectory));
    for (WORD i = 0; i < directory->count; ++i) {
        const int width = entries[i].width == 0 ? 256 : entries[i].width;
        const int height = entries[i].height == 0 ? 256 : entries[i].height;
        EXPECT_EQ(width, height);
        EXPECT_EQ(entries[i].bitCount, 32) << width << " pixels: colours with an alpha channel";
        sizes.insert(width);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));

    for (const int pixels : sizes) {
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, pixels, pixels, 0));
        ASSERT_NE(icon, nullptr) << pixels << " pixels";
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        ASSERT_NE(GetObjectW(info.hbmColor, sizeof colour, &colour), 0);
        EXPECT_EQ(colour.bmWidth, pixels);
        EXPECT_EQ(colour.bmHeight, pixels);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

std::string VersionString(const std::vector<unsigned char>& information, const std::wstring& block,
                          const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\" + block + L"\\" + name;
    if (!VerQueryValueW(information.data(), query.c_str(), &value, &length) || length == 0) return "(none)";
    return ToUtf8(static_cast<const wchar_t*>(value));
}

TEST(LauncherVersionTest, TheVersionInformationNamesThisBuild) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(kLauncher, &ignored);
    ASSERT_NE(size, 0u) << "no version information (" << GetLastError() << ")";
    std::vector<unsigned char> information(size);
    ASSERT_TRUE(GetFileVersionInfoW(kLauncher, 0, size, information.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(information.data(), L"\\", &value, &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    ASSERT_TRUE(VerQueryValueW(information.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 4u);
    const auto* translation = static_cast<const WORD*>(value);
    wchar_t block[9];
    swprintf(block, 9, L"%04x%04x", translation[0], translation[1]);

    Game game;
    std::string error;
    ASSERT_TRUE(ReadGame(BuiltinGameText(), game, error)) << error;
    EXPECT_EQ(VersionString(information, block, L"ProductVersion"), LAUNCHER_VERSION);
    EXPECT_EQ(VersionString(information, block, L"FileVersion"), LAUNCHER_VERSION);
    EXPECT_EQ(VersionString(information, block, L"FileDescription"), game.title + " launcher");
    EXPECT_EQ(VersionString(information, block, L"OriginalFilename"), "launcher.exe");
}

}  // namespace
}  // namespace launcher
