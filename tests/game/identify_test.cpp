#include "game/identify.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/digests.h"
#include "tests/support/disc_image.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::DiscNode;
using test::Sha1Of;

const std::string kKnownXbe = "XBEH" + std::string(3000, 'k');
const std::string kOtherXbe = "XBEH" + std::string(3000, 'o');

Game TestGame() {
    Game game;
    game.title = "Velmora";
    game.shortName = game.exe = "Velmora2";
    game.xbe = "default.xbe";
    game.releases[Sha1Of(kKnownXbe)] = "Europe";
    return game;
}

// The user's copies, laid out once for the whole table.
class IdentifyGameTest : public testing::Test {
public:
    static void SetUpTestSuite() {
        temp = new test::TempFolder;
        const test::TempFolder& t = *temp;
        test::WriteFile(t / "disc/default.xbe", kKnownXbe);
        test::WriteFile(t / "disc/media/intro.bik", "bik");
        test::WriteFile(t / "disc/readme.txt", "readme");
        test::WriteFile(t / "mixed/Default.XBE", kKnownXbe);
        test::WriteFile(t / "mixed/a.txt", "a");
        fs::create_directories(t / "mixed/b");
        test::WriteFile(t / "incomplete/default.xbe", kKnownXbe);
        test::WriteFile(t / "incomplete/other.txt", "other");
        test::WriteFile(t / "unknown/default.xbe", kOtherXbe);
        fs::create_directories(t / "empty");
        fs::create_directories(t / "folder_named_like_it/default.xbe");
        test::WriteFile(t / "folder_named_like_it/a", "a");
        fs::create_directories(t / "folder.iso");
        test::WriteFile(t / "folder.iso/default.xbe", kKnownXbe);
        test::WriteFile(t / "folder.iso/a", "a");
        test::WriteFile(t / "folder.iso/b", "b");
        test::WriteFile(t / "notes.txt", "notes");
        test::WriteFile(t / "fake.iso", std::string(100000, 'f'));
        const DiscNode known = DiscNode::Folder("", {DiscNode::File("DEFAULT.XBE", kKnownXbe)});
        test::WriteDiscImage(t / "copy.ISO", known);
        test::WriteDiscImage(t / "unknown.iso", DiscNode::Folder("", {DiscNode::File("default.xbe", kOtherXbe)}));
        test::WriteDiscImage(t / "noxbe.iso", DiscNode::Folder("", {DiscNode::File("other.xbe", kKnownXbe)}));
        test::WriteDiscImage(t / "media/nested.iso", DiscNode::Folder("", {DiscNode::Folder("media"),
                                                                           DiscNode::File("default.xbe", kKnownXbe)}));
    }

    static void TearDownTestSuite() {
        delete temp;
        temp = nullptr;
    }

    static test::TempFolder* temp;
};

test::TempFolder* IdentifyGameTest::temp = nullptr;

struct IdentifyCase {
    const char* name;
    const char* chosen;  // below the fixture's folder; "" for an empty path
    bool ok;
    bool isImage;
    const char* source;  // below the fixture's folder; null for none
    const char* sha1;    // "known", "other" or ""
    std::string error;   // "{folder}" stands for the source's path
};

class IdentifyGameTableTest : public IdentifyGameTest, public testing::WithParamInterface<IdentifyCase> {};

TEST_P(IdentifyGameTableTest, Identifies) {
    const IdentifyCase& c = GetParam();
    const fs::path chosen = std::string(c.chosen).empty() ? fs::path() : *temp / Utf8Path(c.chosen);
    const GameSource result = IdentifyGame(TestGame(), chosen);

    const fs::path source = c.source ? *temp / Utf8Path(c.source) : fs::path();
    std::string error = c.error;
    if (const size_t at = error.find("{folder}"); at != std::string::npos) error.replace(at, 8, PathToUtf8(source));
    const std::string sha1 = std::string(c.sha1) == "known"   ? Sha1Of(kKnownXbe)
                             : std::string(c.sha1) == "other" ? Sha1Of(kOtherXbe)
                                                              : "";
    EXPECT_EQ(result.ok, c.ok);
    EXPECT_EQ(result.isImage, c.isImage);
    EXPECT_EQ(result.source.lexically_normal(), source.lexically_normal());
    EXPECT_EQ(result.sha1, sha1);
    EXPECT_EQ(result.region, c.ok ? "Europe" : "");
    EXPECT_EQ(result.error, error);
    if (!c.source) {
        EXPECT_TRUE(result.source.empty());
    }
}

const std::string kChoose = "Choose the game's disc image (.iso), or the folder with its files (default.xbe).";
const std::string kNotImage = "This is not an Xbox disc image of Velmora: ";
const std::string kUnsupported = "This copy's default.xbe is not one this port supports (SHA-1 " + Sha1Of(kOtherXbe) +
                                 "). It needs an unmodified disc of Velmora.";

INSTANTIATE_TEST_SUITE_P(
    Copies, IdentifyGameTableTest,
    testing::Values(
        IdentifyCase{"folder", "disc", true, false, "disc", "known", ""},
        IdentifyCase{"image_with_upper_case_extension", "copy.ISO", true, true, "copy.ISO", "known", ""},
        IdentifyCase{"image_in_a_folder_with_dots", "media/../media/nested.iso", true, true, "media/nested.iso",
                     "known", ""},
        IdentifyCase{"the_xbe_in_a_folder", "disc/default.xbe", true, false, "disc", "known", ""},
        IdentifyCase{"the_xbe_in_upper_case", "mixed/DEFAULT.XBE", true, false, "mixed", "known", ""},
        IdentifyCase{"xbe_found_through_the_listing", "mixed", true, false, "mixed", "known", ""},
        IdentifyCase{"a_folder_named_iso_is_a_folder", "folder.iso", true, false, "folder.iso", "known", ""},
        IdentifyCase{"another_file", "notes.txt", false, false, nullptr, "", kChoose},
        IdentifyCase{"an_empty_path", "", false, false, nullptr, "", kChoose},
        IdentifyCase{"a_missing_image", "missing.iso", false, true, "missing.iso", "",
                     kNotImage + "cannot open the file"},
        IdentifyCase{"an_image_without_the_xbe", "noxbe.iso", false, true, "noxbe.iso", "",
                     kNotImage + "the disc image has no default.xbe"},
        IdentifyCase{"no_xbox_image", "fake.iso", false, true, "fake.iso", "", kNotImage + "no Xbox disc image"},
        IdentifyCase{"an_unknown_image", "unknown.iso", false, true, "unknown.iso", "other", kUnsupported},
        IdentifyCase{"an_unknown_folder", "unknown", false, false, "unknown", "other", kUnsupported},
        IdentifyCase{"a_folder_of_two_entries", "incomplete", false, false, "incomplete", "known",
                     "The folder holds default.xbe but not the rest of the disc's files."},
        IdentifyCase{"a_folder_without_the_xbe", "empty", false, false, "empty", "",
                     "there is no default.xbe in {folder}"},
        IdentifyCase{"a_missing_folder_given_by_its_xbe", "gone/default.xbe", false, false, "gone", "",
                     "there is no default.xbe in {folder}"},
        IdentifyCase{"a_folder_named_like_the_xbe", "folder_named_like_it", false, false, "folder_named_like_it", "",
                     "there is no default.xbe in {folder}"}),
    test::CaseName());

TEST_F(IdentifyGameTest, ARelativePathIsMadeAbsolute) {
    const fs::path before = fs::current_path();
    fs::current_path(temp->path());
    const GameSource result = IdentifyGame(TestGame(), "disc");
    fs::current_path(before);
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.source.is_absolute());
    EXPECT_TRUE(fs::equivalent(result.source, *temp / "disc"));
}

TEST_F(IdentifyGameTest, ReadXbeReadsTheWholeFileFromAnImageOrAFolder) {
    for (const auto& [path, isImage] : {std::pair<const char*, bool>{"copy.ISO", true}, {"disc", false}}) {
        GameSource source;
        source.isImage = isImage;
        source.source = *temp / path;
        std::vector<std::uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(ReadGameXbe(TestGame(), source, bytes, error)) << error;
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), kKnownXbe) << path;
    }
}

TEST_F(IdentifyGameTest, AnXbeLargerThanADiscCanHoldIsNoXbe) {
    test::TempFolder huge;
    test::WriteFile(huge / "default.xbe", "");
    fs::resize_file(huge / "default.xbe", std::uint64_t{8} << 30);  // sparse: costs no disk
    test::WriteFile(huge / "a", "a");
    test::WriteFile(huge / "b", "b");
    const GameSource result = IdentifyGame(TestGame(), huge.path());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "there is no default.xbe in " + PathToUtf8(huge.path()));
}

TEST_F(IdentifyGameTest, TheImageIsClosedAfterReading) {
    fs::copy_file(*temp / "copy.ISO", *temp / "closed.iso");
    EXPECT_TRUE(IdentifyGame(TestGame(), *temp / "closed.iso").ok);
    EXPECT_TRUE(fs::remove(*temp / "closed.iso"));
}

}  // namespace
}  // namespace launcher
