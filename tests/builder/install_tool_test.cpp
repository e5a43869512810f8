// Installing the tools of a list end to end: the list, the Visual Studio channel and manifest are
// written here, the archives and installers by the set-up step (support/make_tool_fixtures.py); the
// downloads go through the build's real HTTP client to a per-test code host.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>

#include "builder/builder.h"
#include "platform/file_tree.h"
#include "platform/text.h"
#include "tests/builder/visual_studio_feed.h"
#include "tests/support/code_host.h"
#include "tests/support/digests.h"
#include "tests/support/immutable_file.h"
#include "tests/support/loopback.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"


namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::Json;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using testing::StartsWith;

constexpr char kCabA[] = "2630bae9681db6a9f6722366f47d055c.cab";       // named by kit-a
constexpr char kCabShared[] = "e10768bb6e9d0ea730280336b697da66.cab";  // named by kit-a and kit-b
constexpr char kCabStray[] = "f9b24c8280986c0683fbceca5326d806.cab";   // named by neither
constexpr char kMsvcVersion[] = "14.44.17.14";
constexpr char kSdkPackage[] = "Win11SDK_10.0.26100";

fs::path FixturePath(const std::string& path) { return test::LoopbackFolder() / "site" / "tool-fixtures" / path; }
std::string FixtureUrl(const std::string& path) { return test::OutsideSiteUrl("tool-fixtures/" + path); }

// The keys of a tool entry that point at one fixture file.
Json FileKeys(const std::string& path) {
    const std::string bytes = test::ReadFile(FixturePath(path));
    return {{"url", FixtureUrl(path)}, {"sha256", test::Sha256Of(bytes)}, {"size", bytes.size()}};
}

Json Payload(const std::string& fileName, const std::string& path) {
    const Json keys = FileKeys(path);
    return test::Payload(fileName, keys["url"], keys["sha256"], keys["size"]);
}

Json ToolEntry(const Json& fields, const std::string& path) {
    Json entry = fields;
    entry.update(FileKeys(path));
    return entry;
}

// Everything below root but the stamp, as '/'-separated names with the files' bytes.
std::map<std::string, std::string> FilesOf(const fs::path& root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    WalkTree(
        root,
        [&](const fs::path& path, EntryKind kind) {
            std::string name = PathToUtf8(path.lexically_relative(root));
            std::replace(name.begin(), name.end(), '\\', '/');
            if (kind == EntryKind::File && name != ".launcher-stamp") files[name] = test::ReadFile(path);
        },
        ec);
    return files;
}

class InstallToolTest : public testing::Test {
protected:
    void SetUp() override {
        std::string gameError;
        ASSERT_TRUE(ReadGame(BuiltinGameText(), game, gameError)) << gameError;
        builder = std::make_unique<Builder>(game, temp / "base", &host.http(), platform.get());
        builder->statusCallback = [this](const Status& status) {
            statuses.push_back(status);
            if (onStatus) onStatus(status);
        };
        builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
    }

    // The list: a tar.xz tool, two zip tools, an optional one, an extra one, the Visual Studio
    // runtime and the SDK; the channel and manifest it leads to.
    void PublishList(const std::vector<std::string>& clangKeep = kClangKeep) {
        const Json tools = Json::array({
            ToolEntry({{"id", "clang"}, {"title", "Clang 19"}, {"kind", "tar.xz"}, {"strip", 1}, {"keep", clangKeep}},
                      "tools/clang.tar.xz"),
            ToolEntry({{"id", "cmake"}, {"title", "CMake 3.31"}, {"strip", 1}, {"keep", {"bin/", "share/"}}},
                      "tools/cmake.zip"),
            ToolEntry({{"id", "ninja"}, {"title", "Ninja"}}, "tools/ninja.zip"),
            Json{{"id", "ffmpeg"}, {"optional", true}, {"url", host.OutsideUrl("absent/ffmpeg.zip")},
                 {"sha256", std::string(64, '0')}, {"size", 1000}},
            ToolEntry({{"id", "big"}, {"title", "Big"}, {"optional", true}}, "tools/big.zip"),
            ToolEntry({{"id", "missing"}, {"optional", true}}, "tools/ninja.zip"),
        });
        Json list = {{"tools", tools},
                     {"msvc",
                      {{"channel", host.OutsideUrl("vs/channel.json")},
                       {"version", kMsvcVersion},
                       {"packages", {"Microsoft.VC.{v}.CRT.Headers.base", "Microsoft.VC.{v}.CRT.x64.Desktop.base"}}}},
                     {"sdk", {{"package", kSdkPackage}, {"version", "10.0.26100.0"}, {"msis", {"kit-a.msi", "kit-b.msi"}}}}};
        // A tool whose file the server does not have.
        list["tools"][5]["url"] = host.OutsideUrl("absent/missing.zip");
        host.PublishAt(game.toolchain, list.dump());
        host.PublishSiteFile("vs/channel.json",
                             test::ChannelText({test::ChannelItem(test::kManifestItemId, host.OutsideUrl("vs/manifest.json"))}));
        const std::string vc = std::string("Microsoft.VC.") + kMsvcVersion + ".CRT.";
        host.PublishSiteFile(
            "vs/manifest.json",
            test::ManifestText(
                {test::Package(vc + "Headers.base", {Payload("vc-headers.vsix", "tools/vc-headers.vsix")}),
                 test::Package(vc + "x64.Desktop.base", {Payload("vc-libs.vsix", "tools/vc-libs.vsix")}, "x64"),
                 test::Package(kSdkPackage, {Payload("Installers\\kit-a.msi", "kit-a.msi"),
                                             Payload("Installers\\kit-b.msi", "kit-b.msi"),
                                             Payload(std::string("Installers\\") + kCabA, kCabA),
                                             Payload(std::string("Installers\\") + kCabShared, kCabShared),
                                             Payload(std::string("Installers\\") + kCabStray, kCabStray)})}));
    }

    void Load() {
        std::string loadError;
        ASSERT_TRUE(builder->LoadToolchain(builder->toolchain, loadError, true)) << loadError;
    }

    const Tool& ToolOf(const std::string& id) {
        for (const Tool& tool : builder->toolchain.tools) {
            if (tool.id == id) return tool;
        }
        throw std::runtime_error("no tool " + id);
    }

    bool Install(const std::string& id) {
        statuses.clear();
        logged.clear();
        return builder->InstallTool(ToolOf(id), error);
    }

    fs::path ToolDir(const std::string& id) const { return temp / "base" / "tools" / id; }
    fs::path DownloadDir(const std::string& id) const { return temp / "base" / "downloads" / id; }
    std::string Stamp(const std::string& id) const { return test::ReadFile(ToolDir(id) / ".launcher-stamp"); }
    size_t TimesAsked(const std::string& url) {
        return std::count(host.http().asked.begin(), host.http().asked.end(), url);
    }

    // The download reports of the last install: fractions never falling, the last one exactly 1.
    void ExpectDownloadFractionsRiseToOne(const std::string& title) {
        std::vector<double> fractions;
        for (const Status& status : statuses) {
            if (status.title == "Downloading " + title) fractions.push_back(status.fraction);
        }
        ASSERT_FALSE(fractions.empty()) << title;
        EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end())) << title;
        EXPECT_EQ(fractions.back(), 1.0) << title;
    }

    inline static const std::vector<std::string> kClangKeep = {"bin/clang.exe", "bin/lld-link.exe", "bin/lld.exe",
                                                               "bin/api-ms-win-*.dll", "lib/clang/"};

    test::CodeHost host;
    test::TempFolder temp;
    Game game;
    std::unique_ptr<Platform> platform = test::MakeTestPlatform();
    std::unique_ptr<Builder> builder;
    std::vector<Status> statuses;
    std::vector<std::string> logged;
    std::function<void(const Status&)> onStatus;
    std::string error;
};

TEST_F(InstallToolTest, InstallsEveryToolOfTheListOnceAndThenLeavesThemAlone) {
    PublishList();
    Load();
    const fs::path record = temp / "msiexec-record.txt";
    if (test::RunningUnderWine()) test::SetTestEnv("HELPER_RECORD", PathToUtf8(record));
    std::vector<std::string> installed;
    for (const Tool& tool : builder->toolchain.tools) {
        if (tool.optional) continue;
        ASSERT_TRUE(Install(tool.id)) << tool.id << ": " << error;
        installed.push_back(tool.id);
        EXPECT_EQ(Stamp(tool.id), tool.stamp) << tool.id;
        EXPECT_FALSE(fs::exists(DownloadDir(tool.id))) << tool.id;
        ExpectDownloadFractionsRiseToOne(tool.title);
        ASSERT_FALSE(logged.empty());
        EXPECT_EQ(logged.back(), tool.title + " ready in " + PathToUtf8(builder->ToolDir(tool.id)));
        if (tool.kind != "msi") {
            std::vector<std::string> expected;
            for (const FileRef& file : tool.files) expected.push_back("download " + file.url);
            for (const FileRef& file : tool.files) expected.push_back("unpack " + file.name);
            expected.push_back(logged.back());
            EXPECT_THAT(logged, ElementsAreArray(expected)) << tool.id;
        }
    }
    test::UnsetTestEnv("HELPER_RECORD");
    EXPECT_THAT(installed, ElementsAre("clang", "cmake", "ninja", "msvc", "winsdk"));

    EXPECT_EQ(Stamp("msvc"), std::string(kMsvcVersion) + " Microsoft.VC." + kMsvcVersion + ".CRT.Headers.base Microsoft.VC." +
                                 kMsvcVersion + ".CRT.x64.Desktop.base");
    EXPECT_EQ(Stamp("winsdk"), std::string(kSdkPackage) + " kit-a.msi kit-b.msi");
    EXPECT_EQ(FilesOf(ToolDir("clang")), (std::map<std::string, std::string>{
                                             {"bin/api-ms-win-core-a.dll", "api set\n"},
                                             {"bin/clang.exe", "clang\n"},
                                             {"bin/lld-link.exe", "lld\n"},
                                             {"bin/lld.exe", "lld\n"},
                                             {"lib/clang/19/include/stddef.h", "#pragma once\n"}}));
    EXPECT_EQ(FilesOf(ToolDir("cmake")), (std::map<std::string, std::string>{
                                             {"bin/cmake.exe", "cmake\n"},
                                             {"share/cmake-3.31/Modules/x.cmake", "# module\n"}}));
    EXPECT_EQ(FilesOf(ToolDir("ninja")), (std::map<std::string, std::string>{{"ninja.exe", "ninja\n"}}));
    const std::string include = std::string("VC/Tools/MSVC/") + kMsvcVersion + "/include/";
    EXPECT_EQ(FilesOf(ToolDir("msvc")), (std::map<std::string, std::string>{
                                            {include + "a b.h", "// a blank in the name\n"},
                                            {include + "vcruntime.h", "#pragma once\n"},
                                            {std::string("VC/Tools/MSVC/") + kMsvcVersion + "/lib/x64/libcmt.lib",
                                             "library\n"}}));

    // The SDK: its installers, then the cabinets they name, the shared one once, the stray one never.
    const Tool& sdk = ToolOf("winsdk");
    const auto url = [&](const std::string& name) {
        for (const FileRef& file : sdk.cabs) {
            if (file.name == name) return file.url;
        }
        return std::string();
    };
    EXPECT_EQ(TimesAsked(url(kCabShared)), 1u);
    EXPECT_EQ(TimesAsked(url(kCabStray)), 0u);
    EXPECT_THAT(logged, ElementsAre("download " + sdk.files[0].url, "download " + sdk.files[1].url,
                                    "download " + url(kCabA), "download " + url(kCabShared), "extract kit-a.msi",
                                    "extract kit-b.msi", "Windows SDK 10.0.26100.0 ready in " +
                                                             PathToUtf8(builder->ToolDir("winsdk"))));
    std::vector<std::pair<std::string, double>> unpacking;
    for (const Status& status : statuses) {
        if (status.title == "Unpacking " + sdk.title && !status.detail.empty()) unpacking.emplace_back(status.detail, status.fraction);
    }
    EXPECT_THAT(unpacking, ElementsAre(std::make_pair("kit-a.msi", 0.0), std::make_pair("kit-b.msi", 0.5)));
    if (test::RunningUnderWine()) {
        // msiexec is the stub beside the tests: the last command line it was given.
        const std::vector<std::string> lines = test::WaitForRecord(record);
        ASSERT_FALSE(lines.empty());
        EXPECT_THAT(lines[0], testing::HasSubstr("kit-b.msi\" /qn /norestart TARGETDIR=\"" +
                                                 PathToUtf8(builder->ToolDir("winsdk")) + "\""));
    } else {
        const fs::path kit = ToolDir("winsdk") / "Kit";
        EXPECT_EQ(test::ReadFile(kit / "a.h"), "#pragma once\n");
        EXPECT_EQ(test::ReadFile(kit / "a.txt"), "kit a\n");
        EXPECT_EQ(test::ReadFile(kit / "b.h"), "#define KIT_B 1\n");
    }
    // Nothing optional was asked for.
    for (const char* id : {"ffmpeg", "big", "missing"}) EXPECT_EQ(TimesAsked(ToolOf(id).files[0].url), 0u) << id;

    // The installers' verbose logs went with their success.
    for (const char* installer : {"kit-a", "kit-b"}) {
        EXPECT_FALSE(fs::exists(temp / "base" / "tools" / (std::string(installer) + ".msiexec.log"))) << installer;
    }

    // A second pass: no request, no report, no log line.
    const size_t asked = host.http().asked.size();
    for (const std::string& id : installed) {
        EXPECT_TRUE(Install(id)) << id << ": " << error;
        EXPECT_THAT(statuses, IsEmpty()) << id;
        EXPECT_THAT(logged, IsEmpty()) << id;
    }
    EXPECT_EQ(host.http().asked.size(), asked);
}

TEST_F(InstallToolTest, AnyOtherStampInstallsTheToolAfreshFromAnEmptyFolder) {
    PublishList();
    Load();
    ASSERT_TRUE(Install("ninja")) << error;
    for (const std::string& stamp : {ToolOf("ninja").stamp + "\n", ToolOf("ninja").stamp + "\r\n"}) {
        test::WriteFile(ToolDir("ninja") / ".launcher-stamp", stamp);
        test::WriteFile(ToolDir("ninja") / "stray.txt", "left from before");
        ASSERT_TRUE(Install("ninja")) << error;
        EXPECT_EQ(FilesOf(ToolDir("ninja")), (std::map<std::string, std::string>{{"ninja.exe", "ninja\n"}}));
        EXPECT_EQ(Stamp("ninja"), ToolOf("ninja").stamp);
    }

    // Another keep list is another stamp.
    ASSERT_TRUE(Install("clang")) << error;
    test::WriteFile(ToolDir("clang") / "stray.txt", "left from before");
    PublishList({"lib/clang/"});
    Load();
    EXPECT_EQ(ToolOf("clang").stamp, ToolOf("clang").files[0].sha256 + " tar.xz 1 lib/clang/");
    ASSERT_TRUE(Install("clang")) << error;
    EXPECT_EQ(FilesOf(ToolDir("clang")),
              (std::map<std::string, std::string>{{"lib/clang/19/include/stddef.h", "#pragma once\n"}}));
    EXPECT_EQ(Stamp("clang"), ToolOf("clang").stamp);
}

TEST_F(InstallToolTest, AnOldToolThatCannotBeRemovedStopsItBeforeAnyRequest) {
    PublishList();
    Load();
    ASSERT_TRUE(Install("ninja")) << error;
    test::WriteFile(ToolDir("ninja") / ".launcher-stamp", "an older version");
#ifdef _WIN32
    // An open file cannot be deleted on Windows.
    std::ifstream held(ToolDir("ninja") / "ninja.exe");
    ASSERT_TRUE(held.is_open());
#else
    std::optional<test::ImmutableFile> held(std::in_place, *platform, ToolDir("ninja") / "ninja.exe");
    if (!held->made()) GTEST_SKIP() << "the file system refuses chattr +i here";
#endif
    const size_t asked = host.http().asked.size();
    EXPECT_FALSE(Install("ninja"));
    EXPECT_THAT(error, StartsWith("Could not remove " + PathToUtf8(builder->ToolDir("ninja")) + ": "));
    EXPECT_GT(error.size(), ("Could not remove " + PathToUtf8(builder->ToolDir("ninja")) + ": ").size());
    EXPECT_FALSE(fs::exists(ToolDir("ninja") / ".launcher-stamp"));
    EXPECT_EQ(host.http().asked.size(), asked);
#ifdef _WIN32
    held.close();
#else
    held.reset();
#endif
    EXPECT_TRUE(Install("ninja")) << error;
}

#ifdef _WIN32
// A folder another program holds without sharing cannot be listed. The failure comes from the C
// library's listing, with an errno value, which the message tells in the C library's words (13,
// read as a Win32 code, would be "The data is invalid").
TEST_F(InstallToolTest, AToolFolderThatCannotBeListedIsToldInTheListingsOwnWords) {
    PublishList();
    Load();
    ASSERT_TRUE(Install("ninja")) << error;
    test::WriteFile(ToolDir("ninja") / ".launcher-stamp", "an older version");
    const HANDLE held = CreateFileW(ToolDir("ninja").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Install("ninja"));
    CloseHandle(held);
    EXPECT_EQ(error, "Could not remove " + PathToUtf8(builder->ToolDir("ninja")) + ": Permission denied");
    EXPECT_TRUE(Install("ninja")) << error;
}
#endif

// A launcher that ended between a tool's stamp and the removal of its downloads left them behind.
TEST_F(InstallToolTest, DownloadsLeftBesideAStampedToolGoSilently) {
    PublishList();
    Load();
    ASSERT_TRUE(Install("clang")) << error;
    test::WriteFile(DownloadDir("clang") / "clang.tar.xz", "what a stopped launcher left");
    test::WriteFile(DownloadDir("clang") / "clang.tar.xz.partial", "more");
    const size_t asked = host.http().asked.size();
    EXPECT_TRUE(Install("clang")) << error;
    EXPECT_FALSE(fs::exists(DownloadDir("clang")));
    EXPECT_TRUE(fs::exists(ToolDir("clang") / "bin" / "clang.exe"));
    EXPECT_THAT(statuses, IsEmpty());
    EXPECT_THAT(logged, IsEmpty());
    EXPECT_EQ(host.http().asked.size(), asked);
}

TEST_F(InstallToolTest, AFailedDownloadNamesTheFileAndLeavesNoStamp) {
    PublishList();
    Load();
    const Tool& tool = ToolOf("missing");
    EXPECT_FALSE(Install("missing"));
    EXPECT_THAT(error, StartsWith("Could not download missing.zip: "));
    EXPECT_GT(error.size(), std::string("Could not download missing.zip: ").size());
    EXPECT_FALSE(fs::exists(ToolDir("missing")));
    EXPECT_THAT(logged, ElementsAre("download " + tool.files[0].url));
}

TEST_F(InstallToolTest, AStopInADownloadIsCancelledAndTheNextCallGoesOnFromThere) {
    PublishList();
    Load();
    const Tool& tool = ToolOf("big");
    ASSERT_GE(tool.files[0].size, 1u << 20);
    onStatus = [this](const Status& status) {
        if (status.title == "Downloading Big" && status.fraction > 0) builder->cancel = true;
    };
    EXPECT_FALSE(Install("big"));
    EXPECT_EQ(error, "cancelled");
    EXPECT_FALSE(fs::exists(ToolDir("big") / ".launcher-stamp"));
    const fs::path part = DownloadDir("big") / "big.zip.part";
    ASSERT_TRUE(fs::exists(part));
    const std::uint64_t kept = fs::file_size(part);
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, tool.files[0].size);

    onStatus = nullptr;
    builder->cancel = false;
    ASSERT_TRUE(Install("big")) << error;
    EXPECT_EQ(host.http().offsets.back(), kept);
    EXPECT_EQ(fs::file_size(ToolDir("big") / "big.bin"), 2u << 20);
    EXPECT_EQ(Stamp("big"), tool.stamp);
}

TEST_F(InstallToolTest, AStopAfterAnInstallerIsCancelled) {
    PublishList();
    Load();
    onStatus = [this](const Status& status) {
        if (status.detail == "kit-a.msi") builder->cancel = true;
    };
    EXPECT_FALSE(Install("winsdk"));
    EXPECT_EQ(error, "cancelled");
    EXPECT_FALSE(fs::exists(ToolDir("winsdk") / ".launcher-stamp"));
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(logged.back(), "extract kit-a.msi");
}

#ifdef _WIN32
TEST_F(InstallToolTest, AFailingInstallerFailsTheToolWithItsMessage) {
    PublishList();
    Load();
    test::SetTestEnv("HELPER_EXIT", "1603");
    const bool ok = Install("winsdk");
    test::UnsetTestEnv("HELPER_EXIT");
    EXPECT_FALSE(ok);
    const fs::path log = temp / "base" / "tools" / "kit-a.msiexec.log";
    EXPECT_EQ(error, "Could not extract kit-a.msi (msiexec 1603, see " + PathToUtf8(log) + ")");
    // The log that says why stays.
    EXPECT_TRUE(fs::exists(log));
    EXPECT_FALSE(fs::exists(ToolDir("winsdk") / ".launcher-stamp"));
    EXPECT_EQ(logged.back(), "extract kit-a.msi");
}
#endif

}  // namespace
}  // namespace launcher
