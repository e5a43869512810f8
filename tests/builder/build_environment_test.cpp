// The environment the downloaded toolchain runs under, for the tool folders that are installed.
#include "builder/build_environment.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "builder/builder.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using Environment = std::map<std::string, std::string>;

// The expected values are written with '/' between folders and ':' between list items, and {B}
// for the base folder; each platform's own separators take their places.
const Environment kGit = {{"GIT_CONFIG_COUNT", "1"},      {"GIT_CONFIG_KEY_0", "safe.directory"},
                           {"GIT_CONFIG_VALUE_0", "*"},    {"GIT_TERMINAL_PROMPT", "0"},
                           {"GCM_INTERACTIVE", "never"}};
constexpr char kTools[] = "{B}/tools/llvm/bin:{B}/tools/cmake/bin:{B}/tools/ninja:{B}/tools/git/cmd";
constexpr char kMsvc[] = "{B}/tools/msvc/VC/Tools/MSVC";
constexpr char kSdk[] = "{B}/tools/winsdk/Windows Kits/10";

std::string Cat(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string& part : parts) text += part;
    return text;
}

// INCLUDE and LIB for an MSVC folder and an SDK version folder ("" for none).
Environment Compiler(const std::string& msvc, const std::string& version) {
    const std::string sdk = kSdk;
    const std::string v = version.empty() ? "" : "/" + version;
    return {
        {"INCLUDE",
         Cat({kMsvc, "/",        msvc, "/include:", sdk, "/Include", v, "/ucrt:",  sdk, "/Include", v, "/shared:",
              sdk,   "/Include", v,    "/um:",      sdk, "/Include", v, "/winrt:", sdk, "/Include", v, "/cppwinrt"})},
        {"LIB", Cat({kMsvc, "/", msvc, "/lib/x64:", sdk, "/Lib", v, "/ucrt/x64:", sdk, "/Lib", v, "/um/x64"})}};
}

Environment Join(std::initializer_list<Environment> parts) {
    Environment all;
    for (const Environment& part : parts) all.insert(part.begin(), part.end());
    return all;
}

struct LayoutCase {
    const char* name;
    std::vector<std::string> folders;  // made below the base folder
    std::vector<std::string> files;
    std::string sdkVersion;     // the tool list's
    std::string inheritedPath;  // without separators, so that it reads the same on every platform
    Environment expected;
};

class BuildEnvironmentTest : public testing::TestWithParam<LayoutCase> {
protected:
    void SetUp() override { savedPath = platform->GetEnv("PATH"); }
    void TearDown() override { test::SetTestEnv("PATH", savedPath); }

    // The written form of a value in this platform's form.
    std::string Native(const std::string& written) const {
        std::string text;
        for (size_t i = 0; i < written.size(); ++i) {
            if (written.compare(i, 3, "{B}") == 0) {
                text += PathToUtf8(fs::path(temp.path()).make_preferred());
                i += 2;
            } else if (written[i] == '/') {
                text += static_cast<char>(fs::path::preferred_separator);
            } else if (written[i] == ':') {
                text += platform->PathListSeparator();
            } else {
                text += written[i];
            }
        }
        return text;
    }

    std::unique_ptr<Platform> platform = MakePlatform();
    test::TempFolder temp;
    std::string savedPath;
};

TEST_P(BuildEnvironmentTest, GivesTheWholeMap) {
    const LayoutCase& c = GetParam();
    for (const std::string& folder : c.folders) fs::create_directories(temp / folder);
    for (const std::string& file : c.files) test::WriteFile(temp / file, "not a folder");
    test::SetTestEnv("PATH", c.inheritedPath);
    Builder builder(Game{}, temp.path(), nullptr, platform.get());
    Toolchain toolchain;
    toolchain.sdkVersion = c.sdkVersion;

    Environment expected;
    for (const auto& [name, value] : c.expected) expected[name] = Native(value);
    EXPECT_EQ(builder.BuildEnvironment(toolchain), expected);
}

const std::string kMsvcFolders = "tools/msvc/VC/Tools/MSVC/";
const std::string kInclude = "tools/winsdk/Windows Kits/10/Include/";

INSTANTIATE_TEST_SUITE_P(
    Layouts, BuildEnvironmentTest,
    testing::Values(
        LayoutCase{"nothing_installed",
                   {},
                   {},
                   "10.0.22621.0",
                   "inherited-path",
                   Join({kGit, {{"PATH", Cat({kTools, ":", kSdk, "/bin/x64:inherited-path"})}}})},
        LayoutCase{"greatest_msvc_name_listed_sdk_present",
                   {kMsvcFolders + "14.38.33130", kMsvcFolders + "14.40.33807", kMsvcFolders + "14.9.1",
                    kInclude + "10.0.19041.0", kInclude + "10.0.22621.0", kInclude + "10.0.9.0"},
                   {kMsvcFolders + "99.0", kInclude + "99.0"},
                   "10.0.22621.0",
                   "inherited-path",
                   Join({kGit,
                         Compiler("14.9.1", "10.0.22621.0"),
                         {{"PATH", Cat({kTools, ":", kSdk, "/bin/10.0.22621.0/x64:inherited-path"})},
                          {"VCToolsInstallDir", Cat({kMsvc, "/14.9.1\\"})},
                          {"WindowsSdkDir", Cat({kSdk, "\\"})},
                          {"WindowsSDKVersion", "10.0.22621.0\\"}}})},
        LayoutCase{"listed_sdk_absent_newest_include_wins",
                   {kMsvcFolders + "14.40.33807", kInclude + "10.0.19041.0", kInclude + "10.0.22621.0"},
                   {},
                   "10.0.26100.0",
                   "inherited-path",
                   Join({kGit,
                         Compiler("14.40.33807", "10.0.22621.0"),
                         {{"PATH", Cat({kTools, ":", kSdk, "/bin/10.0.22621.0/x64:inherited-path"})},
                          {"VCToolsInstallDir", Cat({kMsvc, "/14.40.33807\\"})},
                          {"WindowsSdkDir", Cat({kSdk, "\\"})},
                          {"WindowsSDKVersion", "10.0.22621.0\\"}}})},
        LayoutCase{"msvc_without_sdk",
                   {kMsvcFolders + "14.40.33807"},
                   {},
                   "10.0.22621.0",
                   "inherited-path",
                   Join({kGit,
                         Compiler("14.40.33807", ""),
                         {{"PATH", Cat({kTools, ":", kSdk, "/bin/x64:inherited-path"})},
                          {"VCToolsInstallDir", Cat({kMsvc, "/14.40.33807\\"})},
                          {"WindowsSdkDir", Cat({kSdk, "\\"})},
                          {"WindowsSDKVersion", "\\"}}})},
        LayoutCase{
            "no_inherited_path", {}, {}, "", "", Join({kGit, {{"PATH", Cat({kTools, ":", kSdk, "/bin/x64"})}}})}),
    test::CaseName());

TEST(NewestSubdirectoryTest, IsEmptyForAMissingOrEmptyFolder) {
    test::TempFolder temp;
    fs::create_directories(temp / "empty");
    test::WriteFile(temp / "files/14.0", "a file");
    EXPECT_EQ(NewestSubdirectory(temp / "missing"), fs::path());
    EXPECT_EQ(NewestSubdirectory(temp / "empty"), fs::path());
    EXPECT_EQ(NewestSubdirectory(temp / "files"), fs::path());
}

#ifndef _WIN32
// The status of an entry follows links: a link to a folder is a version folder too.
TEST(NewestSubdirectoryTest, FollowsLinks) {
    test::TempFolder temp;
    fs::create_directories(temp / "versions/14.38");
    fs::create_directories(temp / "elsewhere");
    fs::create_directory_symlink(temp / "elsewhere", temp / "versions/15.0");
    fs::create_symlink(temp / "missing", temp / "versions/16.0");
    EXPECT_EQ(NewestSubdirectory(temp / "versions"), temp / "versions/15.0");
}
#endif

TEST(JoinPathListTest, PutsTheSeparatorOnlyBetweenTexts) {
    EXPECT_EQ(JoinPathList(';', {}), "");
    EXPECT_EQ(JoinPathList(';', {fs::path("a")}), "a");
    EXPECT_EQ(JoinPathList(';', {fs::path(), fs::path("a"), fs::path("b")}), "a;b");
}

}  // namespace
}  // namespace launcher
