#include "platform/same_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::TempFolder;
using test::WriteFile;

struct SameFileCase {
    const char* name;
    // Makes what the case compares in a fresh folder and returns the two paths.
    std::function<std::pair<fs::path, fs::path>(const fs::path& folder)> make;
    bool same;
};

class SameFileTest : public testing::TestWithParam<SameFileCase> {
protected:
    TempFolder temp;
};

TEST_P(SameFileTest, AsksTheSystemWhatTheFileIs) {
    const auto [a, b] = GetParam().make(temp.path());
    EXPECT_EQ(SameFile(a, b), GetParam().same) << PathToUtf8(a) << " and " << PathToUtf8(b);
    EXPECT_EQ(SameFile(b, a), GetParam().same);
}

std::pair<fs::path, fs::path> FileAndItsHardLink(const fs::path& folder) {
    WriteFile(folder / "disc.iso", "image");
    fs::create_hard_link(folder / "disc.iso", folder / "assets.iso");
    return {folder / "disc.iso", folder / "assets.iso"};
}

std::pair<fs::path, fs::path> TwoFilesAlike(const fs::path& folder) {
    WriteFile(folder / "a.iso", "image");
    WriteFile(folder / "b.iso", "image");
    return {folder / "a.iso", folder / "b.iso"};
}

std::pair<fs::path, fs::path> FolderAndAFileInIt(const fs::path& folder) {
    WriteFile(folder / "game" / "default.xbe", "xbe");
    return {folder / "game", folder / "game" / "default.xbe"};
}

std::pair<fs::path, fs::path> OneFolderSpelledTwice(const fs::path& folder) {
    fs::create_directories(folder / "game" / "media");
    return {folder / "game", folder / "game" / "media" / ".."};
}

std::pair<fs::path, fs::path> AMissingPath(const fs::path& folder) {
    fs::create_directories(folder / "game");
    return {folder / "game", folder / "gone"};
}

std::pair<fs::path, fs::path> TwoMissingPaths(const fs::path& folder) { return {folder / "gone", folder / "gone"}; }

// A link to a folder made by the host (under Wine: a reparse point that Windows programs follow).
std::pair<fs::path, fs::path> ALinkAndItsFolder(const fs::path&) {
    const fs::path fixture = test::PathFromEnvironment("LAUNCHER_LINK_FIXTURE") / "same";
    return {fixture / "tree" / "link", fixture / "outside"};
}

INSTANTIATE_TEST_SUITE_P(Cases, SameFileTest,
                         testing::Values(SameFileCase{"a_file_and_its_hard_link", FileAndItsHardLink, true},
                                         SameFileCase{"two_files_alike", TwoFilesAlike, false},
                                         SameFileCase{"a_folder_and_a_file_in_it", FolderAndAFileInIt, false},
                                         SameFileCase{"one_folder_spelled_twice", OneFolderSpelledTwice, true},
                                         SameFileCase{"a_missing_path", AMissingPath, false},
                                         SameFileCase{"two_missing_paths", TwoMissingPaths, false},
                                         SameFileCase{"a_link_and_its_folder", ALinkAndItsFolder, true}),
                         test::CaseName());

#ifdef _WIN32
// The same place through Wine's drive for the host's root (Z:), where the drive letter written in
// the path differs while the file is one.
fs::path ThroughTheHostRoot(const fs::path& path) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    // Through a function type without parameters, which any function pointer may become.
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(found));
    if (unixName == nullptr) return {};
    char* name = unixName(path.c_str());
    if (name == nullptr) return {};
    std::string text = name;
    HeapFree(GetProcessHeap(), 0, name);
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return Utf8Path("Z:" + text);
}

TEST(SameFileDrivesTest, OneFolderThroughTwoDriveLettersIsOne) {
    if (!test::RunningUnderWine()) GTEST_SKIP() << "needs Wine's Z: drive";
    TempFolder temp;
    WriteFile(temp / "game" / "default.xbe", "xbe");
    const fs::path folder = temp / "game";
    const fs::path elsewhere = ThroughTheHostRoot(folder);
    ASSERT_FALSE(elsewhere.empty());
    ASSERT_NE(folder.root_name(), elsewhere.root_name()) << PathToUtf8(folder) << " and " << PathToUtf8(elsewhere);
    EXPECT_TRUE(SameFile(folder, elsewhere)) << PathToUtf8(folder) << " and " << PathToUtf8(elsewhere);
    EXPECT_TRUE(SameFile(elsewhere / "default.xbe", folder / "default.xbe"));
    EXPECT_FALSE(SameFile(elsewhere, folder / "default.xbe"));
}

// The system's 128-bit id of an open file, changed in its upper half on the second call: what two
// files of a ReFS volume whose lower 64 bits agree would give.
class IdsDifferingAbove64Bits {
public:
    bool operator()(void* file, std::uint64_t& volume, std::array<std::uint8_t, 16>& id) {
        FILE_ID_INFO info{};
        if (!GetFileInformationByHandleEx(file, FileIdInfo, &info, sizeof info)) return false;
        volume = info.VolumeSerialNumber;
        std::copy(std::begin(info.FileId.Identifier), std::end(info.FileId.Identifier), id.begin());
        if (++*calls == 2) id[12] ^= 1;
        return true;
    }
    std::shared_ptr<int> calls = std::make_shared<int>(0);
};

TEST(SameFileIdTest, TheWholeIdDecides) {
    TempFolder temp;
    const auto [a, b] = FileAndItsHardLink(temp.path());
    ASSERT_TRUE(SameFile(a, b));
    EXPECT_FALSE(SameFileBy(a, b, IdsDifferingAbove64Bits()));
}

TEST(SameFileIdTest, TheFileIndexStandsInWhereTheIdCannotBeRead) {
    TempFolder temp;
    const FileIdQuery unanswered = [](void*, std::uint64_t&, std::array<std::uint8_t, 16>&) { return false; };
    const auto [a, b] = FileAndItsHardLink(temp.path());
    EXPECT_TRUE(SameFileBy(a, b, unanswered));
    const auto [c, d] = TwoFilesAlike(temp.path());
    EXPECT_FALSE(SameFileBy(c, d, unanswered));
    EXPECT_FALSE(SameFileBy(a, c, unanswered));
}
#endif

}  // namespace
}  // namespace launcher
