#include "game/xiso.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/text.h"
#include "tests/game/log_capture.h"
#include "tests/support/case_name.h"
#include "tests/support/disc_image.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::DirectoryEntry;
using test::DiscLayout;
using test::DiscNode;
using test::kFirstDataSector;
using test::TempFolder;

std::wstring Wide(const fs::path& path) { return ToWide(PathToUtf8(path)); }

std::string Pattern(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(seed + i * 7 % 251);
    return bytes;
}

constexpr std::uint32_t kPast4GiB = 0x200010;  // sector * 2048 lies past 4 GiB

DiscNode SampleTree() {
    return DiscNode::Folder(
        "", {DiscNode::File("default.xbe", Pattern(5000, 'x')),
             DiscNode::Folder("media", {DiscNode::File("intro.bik", Pattern(100, 'i')),
                                        DiscNode::Folder("Sub", {DiscNode::File("deep.txt", "deep")})}),
             DiscNode::File("empty.txt", ""), DiscNode::File("far.bin", Pattern(3000, 'f'), kPast4GiB)});
}

struct OpenedImage {
    TempFolder temp;
    XisoImage image;
    bool ok = false;
    std::string error;
};

std::unique_ptr<OpenedImage> OpenTree(const DiscNode& root, const DiscLayout& layout = {}) {
    auto opened = std::make_unique<OpenedImage>();
    test::WriteDiscImage(opened->temp / "game.iso", root, layout);
    opened->ok = opened->image.Open(Wide(opened->temp / "game.iso"), opened->error);
    return opened;
}

std::unique_ptr<OpenedImage> OpenRaw(std::uint32_t rootSize, const std::string& rootBytes,
                                     std::map<std::uint32_t, std::string> sectors = {}) {
    auto opened = std::make_unique<OpenedImage>();
    sectors[kFirstDataSector] = rootBytes;
    test::WriteRawImage(opened->temp / "game.iso", kFirstDataSector, rootSize, sectors);
    opened->ok = opened->image.Open(Wide(opened->temp / "game.iso"), opened->error);
    return opened;
}

std::vector<std::string> Names(const XisoEntry& entry) {
    std::vector<std::string> names;
    for (const XisoEntry& child : entry.children) names.push_back(child.name);
    return names;
}

struct LayoutCase {
    const char* name;
    bool wholeDisc;
    std::uint64_t base;
};

class XisoLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(XisoLayoutTest, ReadsTheWholeTree) {
    DiscLayout layout;
    layout.wholeDisc = GetParam().wholeDisc;
    const auto opened = OpenTree(SampleTree(), layout);
    ASSERT_TRUE(opened->ok) << opened->error;
    XisoImage& image = opened->image;
    EXPECT_EQ(image.base, GetParam().base);
    EXPECT_EQ(image.timeStamp, layout.timeStamp);
    EXPECT_EQ(image.path, Wide(opened->temp / "game.iso"));
    EXPECT_THAT(Names(image.root), testing::ElementsAre("default.xbe", "empty.txt", "far.bin", "media"));

    const XisoEntry* far = image.Find("far.bin");
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->offset, GetParam().base + std::uint64_t{kPast4GiB} * 2048);
    EXPECT_GT(far->offset, 1ull << 32);
    for (const XisoEntry& child : image.root.children) EXPECT_GE(child.offset, GetParam().base) << child.name;

    const std::vector<std::pair<const char*, std::string>> files = {{"default.xbe", Pattern(5000, 'x')},
                                                                    {"far.bin", Pattern(3000, 'f')},
                                                                    {"media\\intro.bik", Pattern(100, 'i')},
                                                                    {"media\\Sub\\deep.txt", "deep"},
                                                                    {"empty.txt", ""}};
    for (const auto& [path, content] : files) {
        std::vector<std::uint8_t> bytes{1, 2, 3};
        ASSERT_TRUE(image.ReadWholeFile(path, bytes)) << path;
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content) << path;
        EXPECT_EQ(image.Find(path)->size, content.size()) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, XisoLayoutTest,
                         testing::Values(LayoutCase{"plain", false, 0}, LayoutCase{"whole_disc", true, 0x18300000}),
                         test::CaseName());

TEST(XisoTest, OpenSaysWhyItCannot) {
    TempFolder temp;
    XisoImage missing;
    std::string error;
    EXPECT_FALSE(missing.Open(Wide(temp / "missing.iso"), error));
    EXPECT_EQ(error, "cannot open the file");

    test::WriteFile(temp / "short.iso", "MICROSOFT*XBOX*MEDIA");
    XisoImage tooShort;
    EXPECT_FALSE(tooShort.Open(Wide(temp / "short.iso"), error));
    EXPECT_EQ(error, "no Xbox disc image");

    XisoImage folder;
    fs::create_directories(temp / "folder.iso");
    EXPECT_FALSE(folder.Open(Wide(temp / "folder.iso"), error));
    EXPECT_EQ(error, "cannot open the file");
}

TEST(XisoTest, BothMagicsMustMatch) {
    DiscLayout layout;
    layout.badSecondMagic = true;
    const auto opened = OpenTree(SampleTree(), layout);
    EXPECT_FALSE(opened->ok);
    EXPECT_EQ(opened->error, "no Xbox disc image");
}

TEST(XisoTest, ARootOfSizeZeroIsAnEmptyTree) {
    DiscLayout layout;
    layout.rootSize = 0;
    const auto opened = OpenTree(SampleTree(), layout);
    ASSERT_TRUE(opened->ok) << opened->error;
    EXPECT_TRUE(opened->image.root.children.empty());
    EXPECT_EQ(opened->image.Find(""), &opened->image.root);
}

TEST(XisoTest, AFolderOf16MiBIsReadAndOneByteMoreIsNot) {
    const std::string root = DirectoryEntry(0, 0, 40, 4, false, "default.xbe");
    const auto largest = OpenRaw(0x1000000, root);
    ASSERT_TRUE(largest->ok) << largest->error;
    EXPECT_NE(largest->image.Find("default.xbe"), nullptr);
    const auto tooLarge = OpenRaw(0x1000001, root);
    EXPECT_FALSE(tooLarge->ok);
    EXPECT_EQ(tooLarge->error, "its folders cannot be read");
}

DiscNode Nested(int levels) {
    DiscNode node = DiscNode::Folder("level" + std::to_string(levels), {DiscNode::File("leaf.txt", "leaf")});
    for (int level = levels - 1; level >= 1; --level) {
        node = DiscNode::Folder("level" + std::to_string(level), {node});
    }
    return DiscNode::Folder("", {node});
}

TEST(XisoTest, ThirtyThreeLevelsOpenAndThirtyFourDoNot) {
    const auto deepest = OpenTree(Nested(32));  // the root and 32 folders
    ASSERT_TRUE(deepest->ok) << deepest->error;
    std::string path;
    for (int level = 1; level <= 32; ++level) path += "level" + std::to_string(level) + "\\";
    EXPECT_NE(deepest->image.Find(path + "leaf.txt"), nullptr);

    const auto tooDeep = OpenTree(Nested(33));
    EXPECT_FALSE(tooDeep->ok);
    EXPECT_EQ(tooDeep->error, "its folders cannot be read");
}

TEST(XisoTest, AFolderThatReadsShortFails) {
    TempFolder temp;
    test::WriteRawImage(temp / "game.iso", kFirstDataSector, 4096, {});
    fs::resize_file(temp / "game.iso", std::uint64_t{kFirstDataSector} * 2048 + 100);
    XisoImage image;
    std::string error;
    EXPECT_FALSE(image.Open(Wide(temp / "game.iso"), error));
    EXPECT_EQ(error, "its folders cannot be read");
}

// A raw folder of size bytes, 0xFF where no entry stands.
std::string RawFolder(std::uint32_t size, const std::vector<std::pair<std::uint32_t, std::string>>& entries) {
    std::string bytes(size, '\xFF');
    for (const auto& [offset, entry] : entries)
        bytes.replace(offset, std::min<size_t>(entry.size(), size - offset), entry.substr(0, size - offset));
    return bytes;
}

// An entry named `name` linking left and right (offsets in 4-byte units).
std::string Link(std::uint16_t left, std::uint16_t right, const std::string& name) {
    return DirectoryEntry(left, right, 40, 1, false, name);
}

// Raw roots whose entries link badly: each keeps what can be read, and the walk ends. Entries with
// one-letter names take 16 bytes, which is 4 units.
struct BrokenCase {
    const char* name;
    std::string root;
    std::vector<std::string> names;
};

class XisoBrokenTreeTest : public testing::TestWithParam<BrokenCase> {};

TEST_P(XisoBrokenTreeTest, KeepsTheEntriesThatCanBeRead) {
    const auto opened = OpenRaw(static_cast<std::uint32_t>(GetParam().root.size()), GetParam().root);
    ASSERT_TRUE(opened->ok) << opened->error;
    EXPECT_EQ(Names(opened->image.root), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XisoBrokenTreeTest,
    testing::Values(
        BrokenCase{"two_entries_linking_to_each_other",
                   RawFolder(48, {{0, Link(0, 4, "r")}, {16, Link(0, 8, "a")}, {32, Link(4, 4, "b")}}),
                   {"a", "b", "r"}},
        BrokenCase{
            "an_entry_linking_to_itself", RawFolder(32, {{0, Link(0, 4, "r")}, {16, Link(4, 4, "a")}}), {"a", "r"}},
        BrokenCase{
            "a_name_past_the_end",
            RawFolder(64,
                      {{0, Link(4, 12, "r")}, {16, Link(0, 0, "b").replace(13, 1, "\xC8", 1)}, {48, Link(0, 0, "c")}}),
            {"c", "r"}},
        BrokenCase{"a_link_into_padding", RawFolder(48, {{0, Link(8, 4, "r")}, {32, Link(0, 0, "c")}}), {"c", "r"}},
        BrokenCase{"a_link_past_the_end", RawFolder(16, {{0, Link(0, 0x100, "r")}}), {"r"}},
        BrokenCase{"a_header_cut_by_the_end", RawFolder(24, {{0, Link(0, 4, "r")}, {16, Link(0, 0, "b")}}), {"r"}}),
    test::CaseName());

// Sector 0 is the start of the image, all zeros in a plain one: read as a folder, it holds one
// entry with an empty name, which links nowhere.
TEST(XisoTest, AFolderAtTheStartOfTheImageEndsTheWalk) {
    const auto opened = OpenRaw(20, DirectoryEntry(0, 0, 0, 2048, true, "zero"));
    ASSERT_TRUE(opened->ok) << opened->error;
    const XisoEntry* zero = opened->image.Find("zero");
    ASSERT_NE(zero, nullptr);
    ASSERT_EQ(zero->children.size(), 1u);
    EXPECT_EQ(zero->children[0].name, "");
    EXPECT_FALSE(zero->children[0].isDirectory);
}

TEST(XisoTest, AFolderNamingItsOwnExtentStopsAtTheDepthLimit) {
    const auto opened = OpenRaw(20, DirectoryEntry(0, 0, kFirstDataSector, 20, true, "self"));
    EXPECT_FALSE(opened->ok);
    EXPECT_EQ(opened->error, "its folders cannot be read");
}

// Every folder names the next one twice, so the tree doubles with each of its 32 levels: a few
// sectors describe billions of folders.
struct BombCase {
    const char* name;
    std::uint32_t folderSize;  // of each folder's record; below a sector every read still costs one
};

class XisoBombTest : public testing::TestWithParam<BombCase> {};

TEST_P(XisoBombTest, FoldersThatShareOneExtentDoNotExplode) {
    const std::uint32_t size = GetParam().folderSize;
    std::map<std::uint32_t, std::string> sectors;
    const std::uint32_t first = kFirstDataSector;
    for (std::uint32_t level = 0; level < 32; ++level) {
        const std::uint32_t next = first + level + 1;
        std::string folder = DirectoryEntry(0, 4, next, size, true, "a") + DirectoryEntry(0, 0, next, size, true, "b");
        folder.resize(size, '\xFF');  // padding between entries
        sectors[first + level] = folder;
    }
    std::string leaf = DirectoryEntry(0, 0, 0, 0, false, "leaf");
    leaf.resize(size, '\xFF');
    sectors[first + 32] = leaf;
    TempFolder temp;
    test::WriteRawImage(temp / "bomb.iso", first, size, sectors);
    XisoImage image;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(image.Open(Wide(temp / "bomb.iso"), error));
    EXPECT_EQ(error, "its folders cannot be read");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30.0);
}

INSTANTIATE_TEST_SUITE_P(FolderSizes, XisoBombTest,
                         testing::Values(BombCase{"whole_sectors", 2048}, BombCase{"tiny_folders", 32}),
                         test::CaseName());

// Three levels of a hundred entries that all name one folder: a million entries in a few KiB.
TEST(XisoTest, AMillionEntriesAreTooMany) {
    const auto wide = [](std::uint32_t childSector, bool folder) {
        std::string bytes;
        for (int i = 0; i < 100; ++i) {
            const std::string name(1, static_cast<char>('!' + i));
            const std::uint16_t right = i < 99 ? static_cast<std::uint16_t>((bytes.size() + 16) / 4) : 0;
            bytes += DirectoryEntry(0, right, childSector, folder ? 2048 : 1, folder, name);
        }
        bytes.resize(2048, '\xFF');
        return bytes;
    };
    const std::uint32_t first = kFirstDataSector;
    std::map<std::uint32_t, std::string> sectors{
        {first, wide(first + 1, true)}, {first + 1, wide(first + 2, true)}, {first + 2, wide(first + 3, false)}};
    test::TempFolder temp;
    test::WriteRawImage(temp / "wide.iso", first, 2048, sectors);
    XisoImage image;
    std::string error;
    EXPECT_FALSE(image.Open(Wide(temp / "wide.iso"), error));
    EXPECT_EQ(error, "its folders cannot be read");
}

TEST(XisoTest, AFileClaimingMoreThanTheImageIsNotRead) {
    const auto opened = OpenRaw(16, DirectoryEntry(0, 0, 40, 0xFFFFFFFF, false, "default.xbe"));
    ASSERT_TRUE(opened->ok) << opened->error;
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(opened->image.ReadWholeFile("default.xbe", bytes));
    EXPECT_LT(bytes.capacity(), 1u << 20);
}

TEST(XisoTest, ChildrenAreSortedByUpperCasedBytes) {
    const auto opened = OpenTree(
        DiscNode::Folder("", {DiscNode::File("b", "1"), DiscNode::File("AB", "2"), DiscNode::File("a", "3"),
                              DiscNode::File("_", "4"), DiscNode::File("\xE9", "5"), DiscNode::File("Z", "6")}));
    ASSERT_TRUE(opened->ok) << opened->error;
    // '_' (0x5F) sorts after 'Z' (0x5A) and before nothing lower-case, as all are upper-cased first.
    EXPECT_THAT(Names(opened->image.root), testing::ElementsAre("a", "AB", "b", "Z", "_", "\xE9"));
}

TEST(XisoTest, OfNamesEqualButForCaseTheFirstOnTheDiscIsFound) {
    const auto opened = OpenTree(
        DiscNode::Folder("", {DiscNode::File("Default.xbe", "first"), DiscNode::File("DEFAULT.XBE", "second")}));
    ASSERT_TRUE(opened->ok) << opened->error;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(opened->image.ReadWholeFile("default.xbe", bytes));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "first");
}

struct FindCase {
    const char* name;
    const char* path;
    const char* found;  // the entry's name, "<root>", or null for nothing
};

class XisoFindTest : public testing::TestWithParam<FindCase> {};

TEST_P(XisoFindTest, Finds) {
    static const auto opened = OpenTree(DiscNode::Folder(
        "", {DiscNode::File("default.xbe", "xbe"), DiscNode::File("a/b", "slash"),
             DiscNode::Folder("media", {DiscNode::File("intro.bik", "bik"), DiscNode::Folder("sub")})}));
    ASSERT_TRUE(opened->ok) << opened->error;
    const XisoEntry* entry = opened->image.Find(GetParam().path);
    if (GetParam().found == nullptr) {
        EXPECT_EQ(entry, nullptr);
    } else if (std::string(GetParam().found) == "<root>") {
        EXPECT_EQ(entry, &opened->image.root);
    } else {
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry->name, GetParam().found);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, XisoFindTest,
                         testing::Values(FindCase{"exact", "default.xbe", "default.xbe"},
                                         FindCase{"upper_case", "DEFAULT.XBE", "default.xbe"},
                                         FindCase{"in_a_folder", "MEDIA\\Intro.BIK", "intro.bik"},
                                         FindCase{"up_and_back", "media\\..\\default.xbe", "default.xbe"},
                                         FindCase{"up_from_the_root", "..", "<root>"},
                                         FindCase{"above_the_root", "..\\..\\default.xbe", "default.xbe"},
                                         FindCase{"dots_and_doubled_separators", "\\.\\media\\\\sub\\", "sub"},
                                         FindCase{"empty", "", "<root>"},
                                         FindCase{"slash_is_part_of_a_name", "a/b", "a/b"},
                                         FindCase{"slash_does_not_separate", "media/intro.bik", nullptr},
                                         FindCase{"file_in_the_middle", "default.xbe\\x", nullptr},
                                         FindCase{"missing", "media\\outro.bik", nullptr},
                                         FindCase{"prefix_is_not_a_match", "default", nullptr}),
                         test::CaseName());

TEST(XisoTest, ReadWholeFileOfAFolderFails) {
    const auto opened = OpenTree(SampleTree());
    std::vector<std::uint8_t> bytes;
    EXPECT_FALSE(opened->image.ReadWholeFile("media", bytes));
    EXPECT_FALSE(opened->image.ReadWholeFile("nothing", bytes));
}

TEST(XisoTest, ReadFileAtStaysInsideTheFile) {
    const auto opened = OpenTree(SampleTree());
    const XisoEntry& xbe = *opened->image.Find("default.xbe");
    const std::string content = Pattern(5000, 'x');
    char buffer[8192];
    EXPECT_EQ(opened->image.ReadFileAt(xbe, 4990, buffer, 100), 10u);
    EXPECT_EQ(std::string(buffer, 10), content.substr(4990));
    EXPECT_EQ(opened->image.ReadFileAt(xbe, 2040, buffer, 16), 16u);
    EXPECT_EQ(std::string(buffer, 16), content.substr(2040, 16));
    EXPECT_EQ(opened->image.ReadFileAt(xbe, 5000, buffer, 1), 0u);
    EXPECT_EQ(opened->image.ReadFileAt(*opened->image.Find("media"), 0, buffer, 1), 0u);
}

TEST(XisoTest, AReadPastTheEndReturnsAtOnceWithoutALogLine) {
    test::LogCapture log;
    const auto opened = OpenTree(SampleTree());
    char buffer[2048];
    EXPECT_EQ(opened->image.ReadAt(opened->image.file->Size() + 4096, buffer, sizeof buffer), 0u);
    EXPECT_EQ(opened->image.ReadAt(opened->image.file->Size() - 10, buffer, sizeof buffer), 10u);
    EXPECT_THAT(log.Lines(), testing::IsEmpty());
}

TEST(XisoTest, TheImageFileCanBeDeletedOnceTheImageIsGone) {
    TempFolder temp;
    test::WriteDiscImage(temp / "game.iso", SampleTree());
    {
        XisoImage image;
        std::string error;
        ASSERT_TRUE(image.Open(Wide(temp / "game.iso"), error)) << error;
    }
    std::error_code ec;
    EXPECT_TRUE(fs::remove(temp / "game.iso", ec)) << ec.message();
}

TEST(XisoTest, TheCurrentDiscIsReplaced) {
    EXPECT_EQ(CurrentDisc(), nullptr);
    auto first = std::make_unique<XisoImage>();
    XisoImage* raw = first.get();
    SetCurrentDisc(std::move(first));
    EXPECT_EQ(CurrentDisc(), raw);
    SetCurrentDisc(std::make_unique<XisoImage>());
    EXPECT_NE(CurrentDisc(), nullptr);
    SetCurrentDisc(nullptr);
    EXPECT_EQ(CurrentDisc(), nullptr);
}

}  // namespace
}  // namespace launcher
