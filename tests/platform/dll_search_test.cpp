#ifdef _WIN32
#include "platform/dll_search.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "tests/support/test_paths.h"

namespace launcher {
namespace {

TEST(DllSearchTest, ALibraryBesideTheProgramIsNotLoadedByNameButTheSystemsAre) {
    ASSERT_TRUE(std::filesystem::exists(test::TestBinFolder() / "search_probe.dll"));
    ASSERT_TRUE(LoadLibrariesFromSystemFolderOnly());
    const HMODULE beside = LoadLibraryW(L"search_probe.dll");
    EXPECT_EQ(beside, nullptr) << "the library beside the program was loaded";
    if (beside != nullptr) FreeLibrary(beside);
    // What the ImGui backend loads for the gamepad.
    const HMODULE xinput = LoadLibraryA("xinput1_4.dll");
    EXPECT_NE(xinput, nullptr);
    if (xinput != nullptr) FreeLibrary(xinput);
}

}  // namespace
}  // namespace launcher
#endif
