// The fake port played: a copy started with no arguments follows fakeplay.txt, and its grandchild
// step leaves a copy that only waits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/text.h"
#include "tests/app/played_game.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_paths.h"

namespace launcher {
namespace {

TEST(FakePlayTest, ACopyWithoutArgumentsFollowsFakeplayAndStartsAWaitingGrandchild) {
    test::TempFolder temp;
    const auto game = test::PlaceFakePlayedGame(temp.path(), "Velmora2", "out playing\ngrandchild 300\nexit 7\n");
    const auto record = temp / "record.txt";
    auto platform = MakePlatform();
    std::vector<std::string> lines;
    // The grandchild shares the output, so the run ends with it; its record is written last.
    const int code = platform->Run({PathToUtf8(game)}, temp.path(), {{"HELPER_RECORD", PathToUtf8(record)}},
                                   [&lines](const std::string& line) { lines.push_back(line); }, nullptr);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(lines, std::vector<std::string>{"playing"});
    const std::vector<std::string> recorded = test::WaitForRecord(record);
    ASSERT_FALSE(recorded.empty());
    EXPECT_THAT(recorded[0], testing::HasSubstr("Velmora2"));
    EXPECT_THAT(recorded[0], testing::EndsWith("--sleep 300"));
}

TEST(FakePlayTest, ACopyWithArgumentsIsStillTheStub) {
    test::TempFolder temp;
    const auto game = test::PlaceFakePlayedGame(temp.path(), "Velmora2", "exit 7\n");
    auto platform = MakePlatform();
    EXPECT_EQ(platform->Run({PathToUtf8(game), "--prepare-code"}, temp.path(), {{"HELPER_EXIT", "3"}}, nullptr,
                            nullptr),
              3);
}

}  // namespace
}  // namespace launcher
