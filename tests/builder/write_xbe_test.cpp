// The chosen copy's XBEs in source/assets: which names, when they are written and when not.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "tests/builder/source_fixture.h"
#include "tests/support/case_name.h"
#include "tests/support/digests.h"
#include "tests/support/disc_image.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

const std::string kMainXbe = "XBEH main " + std::string(2000, 'm');
const std::string kSecondXbe = "XBEH second " + std::string(1000, 's');
const std::string kThirdXbe = "XBEH third " + std::string(500, 't');

// The user's copy as a folder: default.xbe and two more XBEs.
class WriteXbeTest : public test::SourceFixture {
protected:
    WriteXbeTest() {
        test::WriteFile(copy / "default.xbe", kMainXbe);
        test::WriteFile(copy / "second.xbe", kSecondXbe);
        test::WriteFile(copy / "third.xbe", kThirdXbe);
        builder->game.releases[test::Sha1Of(kMainXbe)] = "Europe";
        builder->game.xbes = {"default.xbe", "third.xbe"};
        builder->SaveSetting("game", PathToUtf8(copy));
    }

    fs::path Assets(const char* name) const { return base / "source" / "assets" / name; }

    std::vector<std::string> Written() const {
        std::vector<std::string> lines;
        for (const std::string& line : logged) {
            if (line.rfind("xbe written to ", 0) == 0) lines.push_back(line);
        }
        return lines;
    }

    std::string WrittenLine(const char* name) const { return "xbe written to " + PathToUtf8(Assets(name)); }

    const fs::path copy = temp / "copy";
};

TEST_F(WriteXbeTest, WritesTheReleasesOwnListInPlaceOfTheGamesList) {
    builder->game.releaseXbes[test::Sha1Of(kMainXbe)] = {"default.xbe", "second.xbe"};
    std::string error;
    ASSERT_TRUE(builder->WriteXbe(error)) << error;
    EXPECT_EQ(test::ReadFile(Assets("default.xbe")), kMainXbe);
    EXPECT_EQ(test::ReadFile(Assets("second.xbe")), kSecondXbe);
    EXPECT_FALSE(fs::exists(Assets("third.xbe")));
    EXPECT_THAT(Written(), ElementsAre(WrittenLine("default.xbe"), WrittenLine("second.xbe")));
}

TEST_F(WriteXbeTest, WritesTheGamesListForAReleaseWithoutOne) {
    builder->game.releaseXbes["0000000000000000000000000000000000000000"] = {"second.xbe"};
    std::string error;
    ASSERT_TRUE(builder->WriteXbe(error)) << error;
    EXPECT_EQ(test::ReadFile(Assets("default.xbe")), kMainXbe);
    EXPECT_EQ(test::ReadFile(Assets("third.xbe")), kThirdXbe);
    EXPECT_FALSE(fs::exists(Assets("second.xbe")));
}

TEST_F(WriteXbeTest, LeavesIdenticalFilesUntouched) {
    std::string error;
    ASSERT_TRUE(builder->WriteXbe(error)) << error;
    const std::chrono::sys_seconds newYear2001{std::chrono::sys_days(std::chrono::year(2001) / 1 / 1)};
    const fs::file_time_type year2001 = fs::file_time_type::clock::from_sys(newYear2001);
    fs::last_write_time(Assets("default.xbe"), year2001);
    logged.clear();
    ASSERT_TRUE(builder->WriteXbe(error)) << error;
    EXPECT_THAT(Written(), IsEmpty());
    EXPECT_EQ(fs::last_write_time(Assets("default.xbe")), year2001);
}

struct ChangeCase {
    const char* name;
    std::string destination;  // what stands in source/assets/default.xbe before the call
};

class WriteXbeChangeTest : public WriteXbeTest, public testing::WithParamInterface<ChangeCase> {};

TEST_P(WriteXbeChangeTest, RewritesAFileThatDiffers) {
    test::WriteFile(Assets("default.xbe"), GetParam().destination);
    test::WriteFile(Assets("third.xbe"), kThirdXbe);
    std::string error;
    ASSERT_TRUE(builder->WriteXbe(error)) << error;
    EXPECT_EQ(test::ReadFile(Assets("default.xbe")), kMainXbe);
    EXPECT_THAT(Written(), ElementsAre(WrittenLine("default.xbe")));
}

INSTANTIATE_TEST_SUITE_P(Destinations, WriteXbeChangeTest,
                         testing::Values(ChangeCase{"one_byte_changed", "XBEH main " + std::string(1999, 'm') + "n"},
                                         ChangeCase{"one_byte_more", kMainXbe + "m"},
                                         ChangeCase{"one_byte_less", kMainXbe.substr(1)}),
                         test::CaseName());

TEST_F(WriteXbeTest, AsksForTheGameWhenNoneIsChosen) {
    builder->SaveSetting("game", "");
    std::string error;
    EXPECT_FALSE(builder->WriteXbe(error));
    EXPECT_EQ(error, "Choose the game first.");
}

TEST_F(WriteXbeTest, ACopyThatIsGoneGivesTheIdentificationsMessage) {
    fs::remove_all(copy);
    std::string error;
    EXPECT_FALSE(builder->WriteXbe(error));
    EXPECT_EQ(error, "Choose the game's disc image (.iso), or the folder with its files (default.xbe).");
    EXPECT_FALSE(fs::exists(base / "source"));
}

TEST_F(WriteXbeTest, AMissingXbeFailsWithTheReadersMessageAfterTheEarlierOnes) {
    builder->game.releaseXbes[test::Sha1Of(kMainXbe)] = {"default.xbe", "missing.xbe", "second.xbe"};
    std::string error;
    EXPECT_FALSE(builder->WriteXbe(error));
    EXPECT_EQ(error, "there is no missing.xbe in " + PathToUtf8(copy));
    EXPECT_EQ(test::ReadFile(Assets("default.xbe")), kMainXbe);
    EXPECT_FALSE(fs::exists(Assets("second.xbe")));
}

TEST_F(WriteXbeTest, ADiscImageGivesTheBytesTheFolderDoes) {
    builder->game.releaseXbes[test::Sha1Of(kMainXbe)] = {"default.xbe", "second.xbe"};
    const fs::path image = temp / "copy.iso";
    test::WriteDiscImage(image, test::DiscNode::Folder("", {test::DiscNode::File("DEFAULT.XBE", kMainXbe),
                                                            test::DiscNode::File("Second.xbe", kSecondXbe)}));
    builder->SaveSetting("game", PathToUtf8(image));
    std::string error;
    ASSERT_TRUE(builder->WriteXbe(error)) << error;
    EXPECT_EQ(test::ReadFile(Assets("default.xbe")), kMainXbe);
    EXPECT_EQ(test::ReadFile(Assets("second.xbe")), kSecondXbe);
}

TEST_F(WriteXbeTest, AFailedWriteFailsTheStage) {
    test::WriteFile(base / "source/assets", "a file where the folder goes");
    std::string error;
    EXPECT_FALSE(builder->WriteXbe(error));
    EXPECT_EQ(error, "Could not write " + PathToUtf8(Assets("default.xbe")));
    EXPECT_THAT(Written(), IsEmpty());
}

}  // namespace
}  // namespace launcher
