#include "platform/file_tree.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// The fixture's tree holds inner/file.txt, top.txt and a link to the folder beside it, which holds
// keep.txt (tests/support/make_link_fixture.cmake).
fs::path LinkFixture(const char* tree) { return test::PathFromEnvironment("LAUNCHER_LINK_FIXTURE") / tree; }

TEST(FileTreeTest, RemovesAFolderWithAllItHolds) {
    TempFolder temp;
    WriteFile(temp / "build/a/b/c.obj", "1");
    WriteFile(temp / "build/top.txt", "2");
    fs::create_directories(temp / "build/empty");
    std::error_code ec;
    EXPECT_TRUE(RemoveTree(temp / "build", ec)) << ec.message();
    EXPECT_FALSE(fs::exists(temp / "build"));
}

TEST(FileTreeTest, RemovesAFileAndTakesNothingAsDone) {
    TempFolder temp;
    WriteFile(temp / "file.txt", "x");
    std::error_code ec;
    EXPECT_TRUE(RemoveTree(temp / "file.txt", ec));
    EXPECT_FALSE(fs::exists(temp / "file.txt"));
    EXPECT_TRUE(RemoveTree(temp / "missing", ec));
    EXPECT_TRUE(RemoveTree(temp / "missing/deeper", ec));
}

#ifdef _WIN32
TEST(FileTreeTest, RemovesReadOnlyFiles) {
    TempFolder temp;
    WriteFile(temp / "tree/pack.idx", "x");
    fs::permissions(temp / "tree/pack.idx", fs::perms::owner_write, fs::perm_options::remove);
    std::error_code ec;
    EXPECT_TRUE(RemoveTree(temp / "tree", ec)) << ec.message();
    EXPECT_FALSE(fs::exists(temp / "tree"));
}
#endif

TEST(FileTreeTest, TellsALinkFromARealFolder) {
    const fs::path fixture = LinkFixture("walk");
    EXPECT_TRUE(IsLink(fixture / "tree/link"));
    EXPECT_FALSE(IsLink(fixture / "tree/inner"));
    EXPECT_FALSE(IsLink(fixture / "tree/top.txt"));
    EXPECT_FALSE(IsLink(fixture / "tree/missing"));
    EXPECT_FALSE(IsRealFolder(fixture / "tree/link"));
    EXPECT_TRUE(IsRealFolder(fixture / "tree/inner"));
    EXPECT_FALSE(IsRealFolder(fixture / "tree/top.txt"));
    EXPECT_FALSE(IsRealFolder(fixture / "tree/missing"));
}

TEST(FileTreeTest, RemovingATreeTakesTheLinkButNothingBehindIt) {
    const fs::path fixture = LinkFixture("remove");
    ASSERT_TRUE(IsLink(fixture / "tree/link"));
    std::error_code ec;
    const bool removed = RemoveTree(fixture / "tree", ec);
    EXPECT_EQ(ReadFile(fixture / "outside/keep.txt"), "keep");
    EXPECT_FALSE(fs::exists(fixture / "tree/top.txt"));
    EXPECT_FALSE(fs::exists(fixture / "tree/inner"));
    if (test::RunningUnderWine()) {
        // Wine cannot delete a link to a folder at all: the failure is reported and the link stays.
        EXPECT_FALSE(removed);
        EXPECT_TRUE(ec);
        EXPECT_TRUE(IsLink(fixture / "tree/link"));
    } else {
        EXPECT_TRUE(removed) << ec.message();
        EXPECT_FALSE(fs::exists(fs::symlink_status(fixture / "tree")));
    }
}

TEST(FileTreeTest, WalkVisitsTheLinkButNeverEntersIt) {
    const fs::path fixture = LinkFixture("walk");
    std::set<std::pair<std::string, EntryKind>> seen;
    std::error_code ec;
    ASSERT_TRUE(WalkTree(
        fixture / "tree",
        [&](const fs::path& path, EntryKind kind) {
            seen.insert({path.lexically_relative(fixture / "tree").generic_string(), kind});
        },
        ec))
        << ec.message();
    const std::set<std::pair<std::string, EntryKind>> expected = {{"inner", EntryKind::Folder},
                                                                  {"inner/file.txt", EntryKind::File},
                                                                  {"link", EntryKind::Link},
                                                                  {"top.txt", EntryKind::File}};
    EXPECT_EQ(seen, expected);
}

// Attributes and reparse tags as Windows gives them.
constexpr std::uint32_t kFile = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
constexpr std::uint32_t kFolder = 0x10;
constexpr std::uint32_t kReparsePoint = 0x400;
constexpr std::uint32_t kOffline = 0x1000;         // FILE_ATTRIBUTE_OFFLINE
constexpr std::uint32_t kRecallOnOpen = 0x40000;   // FILE_ATTRIBUTE_RECALL_ON_OPEN
constexpr std::uint32_t kRecallOnData = 0x400000;  // FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS

struct EntryKindCase {
    const char* name;
    std::uint32_t attributes;
    std::uint32_t tag;
    EntryKind kind;
};

class WindowsEntryKindTest : public testing::TestWithParam<EntryKindCase> {};

TEST_P(WindowsEntryKindTest, OnlyANameSurrogateOrTagZeroIsALink) {
    EXPECT_EQ(KindOfWindowsEntry(GetParam().attributes, GetParam().tag), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsEntryKindTest,
    testing::Values(EntryKindCase{"plain_file", kFile, 0, EntryKind::File},
                    EntryKindCase{"plain_folder", kFolder, 0, EntryKind::Folder},
                    // Without the reparse attribute the tag field holds nothing worth reading.
                    EntryKindCase{"a_tag_without_the_reparse_attribute", kFolder, 0xA0000003, EntryKind::Folder},
                    EntryKindCase{"junction", kFolder | kReparsePoint, 0xA0000003, EntryKind::Link},
                    EntryKindCase{"symbolic_link_to_a_folder", kFolder | kReparsePoint, 0xA000000C, EntryKind::Link},
                    EntryKindCase{"symbolic_link_to_a_file", kFile | kReparsePoint, 0xA000000C, EntryKind::Link},
                    EntryKindCase{"linux_subsystem_link", kFile | kReparsePoint, 0xA000001D, EntryKind::Link},
                    EntryKindCase{"tag_zero_as_wine_shows_a_linux_link", kFolder | kReparsePoint, 0, EntryKind::Link},
                    EntryKindCase{"onedrive_folder", kFolder | kReparsePoint | kRecallOnOpen, 0x9000001A,
                                  EntryKind::Folder},
                    EntryKindCase{"onedrive_folder_of_a_numbered_cloud_tag", kFolder | kReparsePoint, 0x9000601A,
                                  EntryKind::Folder},
                    EntryKindCase{"onedrive_file_online_only", kFile | kReparsePoint | kOffline | kRecallOnData,
                                  0x9000F01A, EntryKind::File},
                    EntryKindCase{"onedrive_file_kept_on_the_pc", kFile | kReparsePoint, 0x9000101A, EntryKind::File},
                    EntryKindCase{"deduplicated_file", kFile | kReparsePoint, 0x80000013, EntryKind::File},
                    EntryKindCase{"app_execution_alias", kFile | kReparsePoint, 0x8000001B, EntryKind::File}),
    test::CaseName());

TEST(FileTreeTest, WalkOfAMissingFolderFails) {
    TempFolder temp;
    std::error_code ec;
    EXPECT_FALSE(WalkTree(
        temp / "missing", [](const fs::path&, EntryKind) {}, ec));
    EXPECT_TRUE(ec);
}

}  // namespace
}  // namespace launcher
