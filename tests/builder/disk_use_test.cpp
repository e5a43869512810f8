// The space old build tools and build files take, and their removal: which paths, exact sizes,
// links that count nothing and are never gone through, and removals that stop at a failure.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "builder/protected_folders.h"
#include "platform/file_tree.h"
#include "tests/builder/source_fixture.h"
#include "tests/support/case_name.h"
#include "tests/support/immutable_file.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAreArray;
using testing::IsEmpty;
using testing::StartsWith;
using test::ImmutableFile;

constexpr char kPackage[] = "Velmora2-windows.zip";

// Files of 0, 1 and 2^20 + 1 bytes in nested folders, and an empty folder; returns their sum.
std::uint64_t WriteSizedTree(const fs::path& folder) {
    test::WriteFile(folder / "empty.txt", "");
    test::WriteFile(folder / "a/one.bin", "1");
    test::WriteFile(folder / "a/b/c/large.bin", std::string(1048577, 'x'));
    fs::create_directories(folder / "a/empty");
    return 1048578;
}

bool Exists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// Checks a removal that stopped at list[stop] (list.size(): none did): what came before is gone and
// logged, the rest stays.
void ExpectStoppedAt(const std::vector<fs::path>& list, size_t stop, const std::vector<std::string>& logged) {
    ASSERT_LE(stop, list.size());
    std::vector<std::string> removed;
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(Exists(list[i]), i >= stop) << list[i];
        if (i < stop) removed.push_back("removed " + PathToUtf8(list[i]));
    }
    EXPECT_THAT(logged, ElementsAreArray(removed));
}

class DiskUseTest : public test::SourceFixture {
protected:
    void PackageMode() { builder->game.package = kPackage; }
};

TEST_F(DiskUseTest, InPackageModeTheOldToolsAreAllButTheAudioConverter) {
    PackageMode();
    for (const char* tool : {"cmake", "FFmpeg", "git", "ffmpeg-old"}) test::WriteFile(base / "tools" / tool / "x", "x");
    test::WriteFile(base / "source/.git/HEAD", "ref: refs/heads/main\n");
    test::WriteFile(base / "downloads/part.bin", "part");
    test::WriteFile(base / "agreed.txt", "terms");
    test::WriteFile(base / "play/Velmora2.exe", "exe");

    std::vector<fs::path> list = builder->ListToolFolders();
    ASSERT_EQ(list.size(), 6u);
    // The tools in the order the folder lists them, which the file system decides.
    EXPECT_EQ(std::set<fs::path>(list.begin(), list.begin() + 3),
              (std::set<fs::path>{base / "tools" / "cmake", base / "tools" / "git", base / "tools" / "ffmpeg-old"}));
    EXPECT_EQ(std::vector<fs::path>(list.begin() + 3, list.end()),
              (std::vector<fs::path>{base / "source", base / "downloads", base / "agreed.txt"}));

    fs::remove_all(base / "downloads");
    list = builder->ListToolFolders();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(std::vector<fs::path>(list.begin() + 3, list.end()),
              (std::vector<fs::path>{base / "source", base / "agreed.txt"}));
}

TEST_F(DiskUseTest, OutsidePackageModeTheToolsAreTheSourceBuildsOwn) {
    test::WriteFile(base / "tools/cmake/bin/cmake.txt", "cmake");
    test::WriteFile(base / "downloads/part.bin", "part");
    test::WriteFile(base / "agreed.txt", "terms");
    EXPECT_THAT(builder->ListToolFolders(), IsEmpty());
    EXPECT_EQ(builder->ToolsDiskUse(), 0u);
    std::string error;
    EXPECT_TRUE(builder->RemoveTools(error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(test::ReadFile(base / "tools/cmake/bin/cmake.txt"), "cmake");
    EXPECT_EQ(test::ReadFile(base / "downloads/part.bin"), "part");
    EXPECT_EQ(test::ReadFile(base / "agreed.txt"), "terms");
    EXPECT_THAT(logged, IsEmpty());
}

TEST_F(DiskUseTest, ToolSizesAddUpExactly) {
    PackageMode();
    const std::uint64_t tools = WriteSizedTree(base / "tools/cmake") + WriteSizedTree(base / "tools/git");
    const std::string terms = "https://example.invalid/terms";
    test::WriteFile(base / "agreed.txt", terms);
    test::WriteFile(base / "downloads/part.bin", "part");
    test::WriteFile(base / "tools/ffmpeg/bin/ffmpeg.exe", "not counted");
    test::WriteFile(base / "play" / kPackageWorkFolder / "obj.o", "not counted");
    EXPECT_EQ(builder->ToolsDiskUse(), tools + terms.size() + 4);
}

TEST_F(DiskUseTest, RemovingTheOldToolsLogsEachPath) {
    PackageMode();
    WriteSizedTree(base / "tools/cmake");
    test::WriteFile(base / "tools/ffmpeg/bin/ffmpeg.exe", "kept");
    test::WriteFile(base / "source/.git/HEAD", "ref: refs/heads/main\n");
    test::WriteFile(base / "agreed.txt", "terms");
    const std::vector<fs::path> list = builder->ListToolFolders();
    ASSERT_EQ(list.size(), 3u);
    std::string error;
    EXPECT_TRUE(builder->RemoveTools(error)) << error;
    EXPECT_EQ(error, "");
    ExpectStoppedAt(list, list.size(), logged);
    EXPECT_EQ(test::ReadFile(base / "tools/ffmpeg/bin/ffmpeg.exe"), "kept");
    EXPECT_THAT(builder->ListToolFolders(), IsEmpty());
}

const std::string kPackageBuildFiles = "play/" + std::string(kPackageWorkFolder);

struct BuildFilesCase {
    const char* name;
    bool package;
    std::string folder;  // the mode's build files
    std::string other;   // the other mode's, which stay
};

class DiskUseBuildFilesTest : public DiskUseTest, public testing::WithParamInterface<BuildFilesCase> {};

TEST_P(DiskUseBuildFilesTest, SizesAndRemovesTheModesFolderOnly) {
    const BuildFilesCase& c = GetParam();
    if (c.package) PackageMode();
    std::string error;
    EXPECT_EQ(builder->BuildFilesSize(), 0u);
    EXPECT_TRUE(builder->RemoveBuildFiles(error));
    EXPECT_EQ(error, "");

    const std::uint64_t bytes = WriteSizedTree(base / c.folder);
    test::WriteFile(base / c.other / "other.obj", "other");
    test::WriteFile(base / "source/.git/HEAD", "ref: refs/heads/main\n");
    test::WriteFile(base / "play/compiler/prepare.log", "log");
    EXPECT_EQ(builder->BuildFilesSize(), bytes);

    EXPECT_TRUE(builder->RemoveBuildFiles(error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_FALSE(Exists(base / c.folder));
    EXPECT_EQ(test::ReadFile(base / c.other / "other.obj"), "other");
    EXPECT_EQ(test::ReadFile(base / "source/.git/HEAD"), "ref: refs/heads/main\n");
    EXPECT_EQ(test::ReadFile(base / "play/compiler/prepare.log"), "log");
    EXPECT_EQ(builder->BuildFilesSize(), 0u);
    EXPECT_THAT(logged, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Modes, DiskUseBuildFilesTest,
                         testing::Values(BuildFilesCase{"source_build", false, "source/out", kPackageBuildFiles},
                                         BuildFilesCase{"package_build", true, kPackageBuildFiles, "source/out"}),
                         test::CaseName());

// Trees with links that the host made (tests/support/make_link_fixture.cmake), so that under Wine
// they are Linux symbolic links, which Windows programs see as reparse points.
class DiskUseLinkTest : public testing::Test {
protected:
    void Open(const char* tree) {
        fixture = test::PathFromEnvironment("LAUNCHER_LINK_FIXTURE") / tree;
        Game game;
        game.exe = "Velmora2";
        game.package = kPackage;
        builder = std::make_unique<Builder>(game, fixture / "base", nullptr, platform.get());
        builder->logCallback = [this](const std::string& line) { logged.push_back(line); };
    }

    std::unique_ptr<Platform> platform = MakePlatform();
    fs::path fixture;
    std::unique_ptr<Builder> builder;
    std::vector<std::string> logged;
};

// A link inside a tool folder and a link standing in tools/ itself, both to a folder outside.
TEST_F(DiskUseLinkTest, LinksCountNothingWhereverTheyStand) {
    Open("disk_use_sizes");
    const fs::path tools = fixture / "base" / "tools";
    ASSERT_TRUE(IsLink(tools / "linked"));
    ASSERT_TRUE(IsLink(tools / "cmake" / "outside"));
    const std::vector<fs::path> list = builder->ListToolFolders();
    EXPECT_EQ(std::set<fs::path>(list.begin(), list.end()), (std::set<fs::path>{tools / "cmake", tools / "linked"}));
    // cmake.txt alone, not keep.txt behind either link.
    EXPECT_EQ(builder->ToolsDiskUse(), 5u);
}

// A tools folder that is a link is not gone through: what it leads to is neither counted nor removed.
TEST_F(DiskUseLinkTest, ALinkedToolsFolderListsNothing) {
    Open("disk_use_linked");
    ASSERT_TRUE(IsLink(fixture / "base" / "tools"));
    EXPECT_THAT(builder->ListToolFolders(), IsEmpty());
    EXPECT_EQ(builder->ToolsDiskUse(), 0u);
    std::string error;
    EXPECT_TRUE(builder->RemoveTools(error)) << error;
    EXPECT_EQ(test::ReadFile(fixture / "outside" / "cmake" / "bin" / "cmake.txt"), "cmake");
    EXPECT_EQ(test::ReadFile(fixture / "outside" / "git" / "git.txt"), "git");
    EXPECT_THAT(logged, IsEmpty());
}

// The safety of the removal: a link in a tool folder goes as a link, and what it leads to stays.
TEST_F(DiskUseLinkTest, RemovingAToolFolderLeavesWhatItsLinkLeadsTo) {
    Open("disk_use_remove");
    // Last of the tools where the listing is sorted by name, as Wine's is.
    const fs::path zlib = fixture / "base" / "tools" / "zlib";
    ASSERT_TRUE(IsLink(zlib / "outside"));
    const std::vector<fs::path> list = builder->ListToolFolders();
    ASSERT_EQ(list.size(), 5u);
    // git.txt, ninja.txt, zlib.txt, part.bin and the terms' address in agreed.txt; not keep.txt.
    EXPECT_EQ(builder->ToolsDiskUse(), 3u + 5u + 4u + 4u + 29u);

    std::string error;
    const bool removed = builder->RemoveTools(error);
    EXPECT_EQ(test::ReadFile(fixture / "outside" / "keep.txt"), "keep");
    if (test::RunningUnderWine()) {
        // Wine cannot delete a link to a folder at all: the removal stops at its tool folder.
        EXPECT_FALSE(removed);
        EXPECT_THAT(error, StartsWith("Could not remove " + PathToUtf8(zlib) + ": "));
        const size_t stop = static_cast<size_t>(std::find(list.begin(), list.end(), zlib) - list.begin());
        ExpectStoppedAt(list, stop, logged);
        EXPECT_TRUE(IsLink(zlib / "outside"));
        EXPECT_FALSE(Exists(zlib / "bin"));
    } else {
        EXPECT_TRUE(removed) << error;
        ExpectStoppedAt(list, list.size(), logged);
    }
}

#ifndef _WIN32
// A library's versioned links (as CMake makes them) would count it three times; a link to a file
// is only a link here. (Under Wine a Linux link to a file reads as the file itself.)
TEST_F(DiskUseTest, LinksToFilesCountNothing) {
    const fs::path lib = base / "source/out/build/release/lib";
    test::WriteFile(lib / "libthird.so.1.2", std::string(1000, 'x'));
    fs::create_symlink("libthird.so.1.2", lib / "libthird.so.1");
    fs::create_symlink("libthird.so.1", lib / "libthird.so");
    EXPECT_EQ(builder->BuildFilesSize(), 1000u);
}

TEST_F(DiskUseTest, ARemovalStopsAtTheToolFolderThatCannotGo) {
    PackageMode();
    for (const char* tool : {"cmake", "git", "ninja"}) test::WriteFile(base / "tools" / tool / "bin/tool.txt", tool);
    test::WriteFile(base / "downloads/part.bin", "part");
    test::WriteFile(base / "agreed.txt", "terms");
    const ImmutableFile locked(*platform, base / "tools/git/bin/tool.txt");
    if (!locked.made()) GTEST_SKIP() << "the file system refuses chattr +i here";

    const std::vector<fs::path> list = builder->ListToolFolders();
    ASSERT_EQ(list.size(), 5u);
    std::string error;
    EXPECT_FALSE(builder->RemoveTools(error));
    EXPECT_THAT(error, StartsWith("Could not remove " + PathToUtf8(base / "tools" / "git") + ": "));
    const size_t stop = static_cast<size_t>(std::find(list.begin(), list.end(), base / "tools" / "git") - list.begin());
    ExpectStoppedAt(list, stop, logged);
}

TEST_F(DiskUseTest, ARemovalOfTheBuildFilesThatFailsSaysSo) {
    test::WriteFile(base / "source/out/build/release/main.obj", "obj");
    const ImmutableFile locked(*platform, base / "source/out/build/release/main.obj");
    if (!locked.made()) GTEST_SKIP() << "the file system refuses chattr +i here";
    std::string error;
    EXPECT_FALSE(builder->RemoveBuildFiles(error));
    EXPECT_THAT(error, StartsWith("Could not remove the build files: "));
    EXPECT_TRUE(Exists(base / "source/out/build/release/main.obj"));
}
#endif

}  // namespace
}  // namespace launcher
