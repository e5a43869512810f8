// Copying a file over another, which MinGW's copy_file refuses on one drive.
#include "platform/copy_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

TEST(CopyFileReplacingTest, MakesOrReplacesTheTarget) {
    test::TempFolder temp;
    test::WriteFile(temp / "from", "new bytes");
    std::string systemText;
    ASSERT_TRUE(CopyFileReplacing(temp / "from", temp / "to", systemText)) << systemText;
    EXPECT_EQ(test::ReadFile(temp / "to"), "new bytes");
    test::WriteFile(temp / "from", "newer");
    test::WriteFile(temp / "to", "old and longer bytes");
    ASSERT_TRUE(CopyFileReplacing(temp / "from", temp / "to", systemText)) << systemText;
    EXPECT_EQ(test::ReadFile(temp / "to"), "newer");
    EXPECT_EQ(systemText, "");
}

TEST(CopyFileReplacingTest, AFolderInTheWayFailsWithTheSystemsWords) {
    test::TempFolder temp;
    test::WriteFile(temp / "from", "bytes");
    fs::create_directory(temp / "to");
    std::string systemText;
    EXPECT_FALSE(CopyFileReplacing(temp / "from", temp / "to", systemText));
    EXPECT_FALSE(systemText.empty());
    EXPECT_TRUE(fs::is_directory(temp / "to"));
}

}  // namespace
}  // namespace launcher
