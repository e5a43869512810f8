// The list compiled into the launcher: the publishers' addresses, digests and sizes, read back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "builder/toolchain.h"

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

Toolchain ReadBuiltin() {
    Toolchain toolchain;
    std::string error;
    EXPECT_TRUE(ReadToolchain(BuiltinToolListText(), toolchain, error)) << error;
    return toolchain;
}

void ExpectFile(const Tool& tool, const std::string& name, const std::string& url, const std::string& sha256,
                std::uint64_t size) {
    ASSERT_EQ(tool.files.size(), 1u) << tool.id;
    EXPECT_EQ(tool.files[0].name, name);
    EXPECT_EQ(tool.files[0].url, url);
    EXPECT_EQ(tool.files[0].sha256, sha256);
    EXPECT_EQ(tool.files[0].size, size);
    EXPECT_THAT(tool.cabs, IsEmpty());
    EXPECT_FALSE(tool.optional);
}

TEST(BuiltinToolListTest, NamesTheFourToolsOfTheRelease) {
    const Toolchain toolchain = ReadBuiltin();
    ASSERT_EQ(toolchain.tools.size(), 4u);

    const Tool& llvm = toolchain.tools[0];
    EXPECT_EQ(llvm.id, "llvm");
    EXPECT_EQ(llvm.title, "Clang 19.1.7");
    EXPECT_EQ(llvm.kind, "tar.xz");
    EXPECT_EQ(llvm.strip, 1);
    EXPECT_THAT(llvm.keep, ElementsAre("bin/clang.exe", "bin/clang++.exe", "bin/clang-cl.exe", "bin/lld-link.exe",
                                       "bin/lld.exe", "bin/llvm-ar.exe", "bin/llvm-lib.exe", "bin/llvm-rc.exe",
                                       "bin/llvm-mt.exe", "bin/llvm-ranlib.exe", "bin/api-ms-win-*.dll",
                                       "bin/ucrtbase.dll", "bin/msvcp140*.dll", "bin/vcruntime140*.dll",
                                       "bin/concrt140.dll", "lib/clang/"));
    ExpectFile(llvm, "clang+llvm-19.1.7-x86_64-pc-windows-msvc.tar.xz",
               "https://github.com/llvm/llvm-project/releases/download/llvmorg-19.1.7/"
               "clang%2Bllvm-19.1.7-x86_64-pc-windows-msvc.tar.xz",
               "b4557b4f012161f56a2f5d9e877ab9635cafd7a08f7affe14829bd60c9d357f0", 845236708);
    EXPECT_EQ(llvm.stamp,
              "b4557b4f012161f56a2f5d9e877ab9635cafd7a08f7affe14829bd60c9d357f0 tar.xz 1 bin/clang.exe bin/clang++.exe "
              "bin/clang-cl.exe bin/lld-link.exe bin/lld.exe bin/llvm-ar.exe bin/llvm-lib.exe bin/llvm-rc.exe "
              "bin/llvm-mt.exe bin/llvm-ranlib.exe bin/api-ms-win-*.dll bin/ucrtbase.dll bin/msvcp140*.dll "
              "bin/vcruntime140*.dll bin/concrt140.dll lib/clang/");

    const Tool& cmake = toolchain.tools[1];
    EXPECT_EQ(cmake.id, "cmake");
    EXPECT_EQ(cmake.title, "CMake 3.31.12");
    EXPECT_EQ(cmake.kind, "zip");
    EXPECT_EQ(cmake.strip, 1);
    EXPECT_THAT(cmake.keep, ElementsAre("bin/", "share/"));
    ExpectFile(cmake, "cmake-3.31.12-windows-x86_64.zip",
               "https://github.com/Kitware/CMake/releases/download/v3.31.12/cmake-3.31.12-windows-x86_64.zip",
               "0c4baa40f28b3f8225eb3fdf6946c987b4fe901403b4eaf2fbbd9378100aaa0c", 46666397);
    EXPECT_EQ(cmake.stamp, "0c4baa40f28b3f8225eb3fdf6946c987b4fe901403b4eaf2fbbd9378100aaa0c zip 1 bin/ share/");

    const Tool& ninja = toolchain.tools[2];
    EXPECT_EQ(ninja.id, "ninja");
    EXPECT_EQ(ninja.title, "Ninja 1.13.2");
    EXPECT_EQ(ninja.kind, "zip");
    EXPECT_EQ(ninja.strip, 0);
    EXPECT_THAT(ninja.keep, IsEmpty());
    ExpectFile(ninja, "ninja-win.zip", "https://github.com/ninja-build/ninja/releases/download/v1.13.2/ninja-win.zip",
               "07fc8261b42b20e71d1720b39068c2e14ffcee6396b76fb7a795fb460b78dc65", 291570);
    EXPECT_EQ(ninja.stamp, "07fc8261b42b20e71d1720b39068c2e14ffcee6396b76fb7a795fb460b78dc65 zip 0");

    const Tool& git = toolchain.tools[3];
    EXPECT_EQ(git.id, "git");
    EXPECT_EQ(git.title, "MinGit 2.56.0");
    EXPECT_EQ(git.kind, "zip");
    EXPECT_EQ(git.strip, 0);
    EXPECT_THAT(git.keep, IsEmpty());
    ExpectFile(git, "MinGit-2.56.0-busybox-64-bit.zip",
               "https://github.com/git-for-windows/git/releases/download/v2.56.0.windows.1/"
               "MinGit-2.56.0-busybox-64-bit.zip",
               "2d432c98e9eee92161f49006a18cba24b33e142c6050be321236910805466f37", 35287516);
    EXPECT_EQ(git.stamp, "2d432c98e9eee92161f49006a18cba24b33e142c6050be321236910805466f37 zip 0");
}

TEST(BuiltinToolListTest, NamesTheVisualStudioPackagesAndTheSdkInstallers) {
    const auto root = nlohmann::json::parse(BuiltinToolListText());
    const auto& msvc = root.at("msvc");
    EXPECT_EQ(msvc.at("channel"), "https://aka.ms/vs/17/release/channel");
    EXPECT_EQ(msvc.at("version"), "14.44.17.14");
    EXPECT_THAT(msvc.at("packages").get<std::vector<std::string>>(),
                ElementsAre("Microsoft.VC.{v}.CRT.Headers.base", "Microsoft.VC.{v}.CRT.x64.Desktop.base",
                            "Microsoft.VC.{v}.CRT.x64.Store.base", "Microsoft.VC.{v}.CRT.Source.base"));
    const auto& sdk = root.at("sdk");
    EXPECT_EQ(sdk.at("package"), "Win11SDK_10.0.26100");
    EXPECT_EQ(sdk.at("version"), "10.0.26100.0");
    EXPECT_THAT(sdk.at("msis").get<std::vector<std::string>>(),
                ElementsAre("Windows SDK Desktop Headers x64-x86_en-us.msi",
                            "Windows SDK Desktop Libs x64-x86_en-us.msi",
                            "Universal CRT Headers Libraries and Sources-x86_en-us.msi",
                            "Windows SDK for Windows Store Apps Headers-x86_en-us.msi",
                            "Windows SDK for Windows Store Apps Libs-x86_en-us.msi",
                            "Windows SDK OnecoreUap Headers x64-x86_en-us.msi",
                            "Windows SDK Desktop Headers x86-x86_en-us.msi",
                            "Windows SDK OnecoreUap Headers x86-x86_en-us.msi",
                            "Windows SDK for Windows Store Apps Headers OnecoreUap-x86_en-us.msi",
                            "Windows SDK Desktop Tools x64-x86_en-us.msi"));
}

std::vector<std::string> Keys(const nlohmann::ordered_json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items()) keys.push_back(item.key());
    return keys;
}

TEST(BuiltinToolListTest, IsLaidOutWithFourBlanksAndTheKeyOrderOfTheFormat) {
    const auto root = nlohmann::ordered_json::parse(BuiltinToolListText());
    EXPECT_EQ(root.dump(4), BuiltinToolListText());
    EXPECT_THAT(Keys(root), ElementsAre("tools", "msvc", "sdk"));
    const auto& tools = root.at("tools");
    ASSERT_EQ(tools.size(), 4u);
    for (size_t i : {0u, 1u}) {
        EXPECT_THAT(Keys(tools[i]), ElementsAre("id", "title", "kind", "strip", "keep", "url", "sha256", "size")) << i;
    }
    for (size_t i : {2u, 3u}) {
        EXPECT_THAT(Keys(tools[i]), ElementsAre("id", "title", "kind", "url", "sha256", "size")) << i;
    }
    EXPECT_THAT(Keys(root.at("msvc")), ElementsAre("channel", "version", "packages"));
    EXPECT_THAT(Keys(root.at("sdk")), ElementsAre("package", "version", "msis"));
}

}  // namespace
}  // namespace launcher
