// MSI extraction and folder links. Natively msiextract and symlink(2) do the work; under Wine a stub
// msiexec.exe beside the test program (the helper child) stands in for the real one, which Wine's
// cannot do, and cmd's mklink makes no junction.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/file_tree.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::StartsWith;

class MsiTest : public testing::Test {
protected:
    std::unique_ptr<Platform> platform = test::MakeTestPlatform();
    test::TempFolder temp;
    std::string error;
};

#ifdef _WIN32

// The system's folder of programs, as the system names it.
std::string SystemFolder() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    return ToUtf8(std::wstring(folder, length));
}

// The stub records its command line and working folder, and exits with the code it is given.
std::vector<std::string> ExtractWithStub(Platform& platform, const fs::path& msi, const fs::path& target,
                                         const char* code, const fs::path& record, bool& ok, std::string& error) {
    test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));
    test::SetTestEnv("HELPER_EXIT", code);
    ok = platform.ExtractMsi(msi, target, error);
    test::UnsetTestEnv("HELPER_RECORD");
    test::UnsetTestEnv("HELPER_EXIT");
    return test::ReadLines(record);
}

TEST_F(MsiTest, TheAdministrativeInstallIsAskedForExactly) {
    test::WriteFile(temp / "downloads/kit.msi", "msi");
    const fs::path msi = temp / "downloads" / "kit.msi";
    const fs::path target = temp / "tools" / "winsdk\\";
    bool ok = false;
    const std::vector<std::string> recorded =
        ExtractWithStub(*platform, msi, target, "0", temp / "record.txt", ok, error);
    EXPECT_TRUE(ok) << error;
    ASSERT_EQ(recorded.size(), 2u);
    const std::string trimmed = PathToUtf8(temp / "tools" / "winsdk");
    const std::string log = PathToUtf8(temp / "tools" / "kit.msiexec.log");
    EXPECT_EQ(recorded[0], SystemFolder() + "\\msiexec.exe /a \"" + PathToUtf8(msi) + "\" /qn /norestart TARGETDIR=\"" +
                               trimmed + "\" /L*v \"" + log + "\"");
    EXPECT_TRUE(fs::equivalent(Utf8Path(recorded[1]), msi.parent_path()));
}

TEST_F(MsiTest, ARestartRequiredIsSuccessAndOtherCodesAreNot) {
    test::WriteFile(temp / "kit.msi", "msi");
    bool ok = false;
    const fs::path log = temp / "tools" / "kit.msiexec.log";
    ExtractWithStub(*platform, temp / "kit.msi", temp / "tools" / "winsdk", "3010", temp / "a.txt", ok, error);
    EXPECT_TRUE(ok) << error;
    // The stub writes its log as msiexec does; it is kept only when it tells why an install failed.
    EXPECT_FALSE(fs::exists(log));
    ExtractWithStub(*platform, temp / "kit.msi", temp / "tools" / "winsdk", "1603", temp / "b.txt", ok, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "Could not extract kit.msi (msiexec 1603, see " + PathToUtf8(log) + ")");
    EXPECT_TRUE(fs::exists(log));
}

#else

// A real package with its files in a cabinet beside it, made the way SDK installers come.
void MakePackage(Platform& platform, const fs::path& folder) {
    test::WriteFile(folder / "src/windows.h", "#pragma once\n");
    test::WriteFile(folder / "src/readme.txt", "the kit\n");
    test::WriteFile(folder / "kit.wxs", R"(<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Kit" Language="1033" Version="1.0.0" Manufacturer="Test"
           UpgradeCode="12345678-1234-1234-1234-123456789012">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <Media Id="1" Cabinet="kit.cab" EmbedCab="no"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="KitRoot" Name="Kit">
        <Directory Id="IncludeDir" Name="include">
          <Component Id="Headers" Guid="12345678-1234-1234-1234-123456789013">
            <File Id="windows_h" Name="windows.h" Source="src/windows.h"/>
          </Component>
        </Directory>
        <Component Id="Readme" Guid="12345678-1234-1234-1234-123456789014">
          <File Id="readme_txt" Name="readme.txt" Source="src/readme.txt"/>
        </Component>
      </Directory>
    </Directory>
    <Feature Id="All" Level="1"><ComponentRef Id="Headers"/><ComponentRef Id="Readme"/></Feature>
  </Product>
</Wix>
)");
    std::vector<std::string> output;
    const auto collect = [&output](const std::string& line) { output.push_back(line); };
    ASSERT_EQ(platform.Run({"wixl", "-o", "kit.msi", "kit.wxs"}, folder, {}, collect, nullptr), 0)
        << testing::PrintToString(output);
    // The cabinet names each file by its File Id.
    test::WriteFile(folder / "cab/windows_h", "#pragma once\n");
    test::WriteFile(folder / "cab/readme_txt", "the kit\n");
    ASSERT_EQ(
        platform.Run({"gcab", "-c", "../kit.cab", "windows_h", "readme_txt"}, folder / "cab", {}, collect, nullptr), 0)
        << testing::PrintToString(output);
}

TEST_F(MsiTest, APackageWithAnOuterCabinetIsExtracted) {
    ASSERT_NO_FATAL_FAILURE(MakePackage(*platform, temp / "downloads"));
    EXPECT_TRUE(platform->ExtractMsi(temp / "downloads" / "kit.msi", temp / "tools" / "winsdk", error)) << error;
    EXPECT_EQ(test::ReadFile(temp / "tools/winsdk/Kit/include/windows.h"), "#pragma once\n");
    EXPECT_EQ(test::ReadFile(temp / "tools/winsdk/Kit/readme.txt"), "the kit\n");
    // The details are kept only for a failure.
    EXPECT_FALSE(fs::exists(temp / "tools" / "kit.msiexec.log"));
}

TEST_F(MsiTest, AMissingCabinetFailsWithThePackageAndTheLog) {
    ASSERT_NO_FATAL_FAILURE(MakePackage(*platform, temp / "downloads"));
    fs::remove(temp / "downloads" / "kit.cab");
    EXPECT_FALSE(platform->ExtractMsi(temp / "downloads" / "kit.msi", temp / "tools" / "winsdk", error));
    const std::string log = PathToUtf8(temp / "tools" / "kit.msiexec.log");
    EXPECT_THAT(error, testing::MatchesRegex("Could not extract kit\\.msi \\(msiexec -?[0-9]+, see .*\\)"));
    EXPECT_THAT(error, testing::HasSubstr(", see " + log + ")"));
    EXPECT_NE(error, "Could not extract kit.msi (msiexec 0, see " + log + ")");
    EXPECT_TRUE(fs::exists(Utf8Path(log)));
}

#endif

class LinkFolderTest : public testing::Test {
protected:
    std::unique_ptr<Platform> platform = MakePlatform();
    test::TempFolder temp;
    std::string error;
};

TEST_F(LinkFolderTest, MakesALinkThatLeadsToTheFolderOrSaysWhyNot) {
    test::WriteFile(temp / "My Games" / "disc" / "default.xbe", "xbe");
    fs::create_directories(temp / "play");
    const fs::path link = temp / "play" / "assets";
    const bool linked = platform->LinkFolder(link, temp / "My Games" / "disc", error);
    if (test::RunningUnderWine()) {
        // mklink /J exits 0 there and makes nothing: that is no link.
        EXPECT_FALSE(linked);
        EXPECT_THAT(error, StartsWith("Could not link the game's folder: "));
        EXPECT_FALSE(IsLink(link));
    } else {
        ASSERT_TRUE(linked) << error;
        EXPECT_TRUE(IsLink(link));
        EXPECT_EQ(test::ReadFile(link / "default.xbe"), "xbe");
    }
}

TEST_F(LinkFolderTest, ALinkWhereSomethingStandsFails) {
    fs::create_directories(temp / "target");
    test::WriteFile(temp / "play" / "assets", "in the way");
    EXPECT_FALSE(platform->LinkFolder(temp / "play" / "assets", temp / "target", error));
    EXPECT_THAT(error, StartsWith("Could not link the game's folder: "));
    EXPECT_EQ(test::ReadFile(temp / "play" / "assets"), "in the way");
}

#ifdef _WIN32
TEST_F(LinkFolderTest, TheSystemsCommandInterpreterIsAskedWithoutAutoRun) {
    fs::create_directories(temp / "play");
    const fs::path record = temp / "record.txt";
    const std::unique_ptr<Platform> recorded =
        MakePlatformWithStandIns(SystemProgramStandIns{{}, test::TestBinFolder() / "msiexec.exe"});
    test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));
    recorded->LinkFolder(temp / "play" / "assets", temp / "My Games", error);
    test::UnsetTestEnv("HELPER_RECORD");
    const std::vector<std::string> lines = test::ReadLines(record);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], SystemFolder() + "\\cmd.exe /d /c mklink /J \"" + PathToUtf8(temp / "play" / "assets") +
                            "\" \"" + PathToUtf8(temp / "My Games") + "\"");
}

// A program of the same name in the launcher's folder or in the current folder (Downloads, say) is
// never the one started.
TEST(SystemProgramTest, CopiesOfTheSystemsProgramsAreNotRun) {
    test::TempFolder temp;
    const fs::path folder = temp / "Downloads";
    fs::create_directories(folder);
    for (const char* name : {"msiexec.exe", "cmd.exe"}) fs::copy_file(test::HelperChildPath(), folder / name);
    test::WriteFile(folder / "kit.msi", "msi");
    std::error_code ec;
    const fs::path before = fs::current_path(ec);
    fs::current_path(folder);
    const fs::path record = temp / "record.txt";
    test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));
    std::string error;
    const std::unique_ptr<Platform> platform = MakePlatform();
    platform->ExtractMsi(folder / "kit.msi", temp / "tools" / "kit", error);
    const bool afterMsi = fs::exists(record);
    platform->LinkFolder(temp / "assets", folder, error);
    test::UnsetTestEnv("HELPER_RECORD");
    fs::current_path(before, ec);
    EXPECT_FALSE(afterMsi) << "msiexec.exe in the current folder ran";
    EXPECT_FALSE(fs::exists(record)) << "cmd.exe in the current folder ran";
}
#endif

}  // namespace
}  // namespace launcher
