#include "platform/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::ReadFile;
using test::WriteFile;
using testing::StartsWith;

class AtomicFileTest : public testing::Test {
protected:
    bool Write(const std::string& bytes, bool platformLineEnds = false, bool inPlace = false) {
        AtomicWriteOptions options;
        options.platformLineEnds = platformLineEnds;
        options.writeInPlaceWhenReplaceRefused = inPlace;
        return WriteFileAtomically(target, bytes, options, error);
    }

    fs::path Temporary() const {
        fs::path temporary = target;
        return temporary += ".partial";
    }

    test::TempFolder temp;
    fs::path target = temp / "launcher.json";
    std::string error = "before";
};

TEST_F(AtomicFileTest, MakesTheFile) {
    ASSERT_TRUE(Write("{\"game\": \"/g\"}")) << error;
    EXPECT_EQ(ReadFile(target), "{\"game\": \"/g\"}");
    EXPECT_FALSE(fs::exists(Temporary()));
    EXPECT_EQ(error, "before");
}

TEST_F(AtomicFileTest, ReplacesTheFileWhole) {
    WriteFile(target, std::string(5000, 'o'));
    ASSERT_TRUE(Write("new")) << error;
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_FALSE(fs::exists(Temporary()));
}

TEST_F(AtomicFileTest, BytesStayAsTheyAreUnlessTextLineEndsAreAskedFor) {
    ASSERT_TRUE(Write("a\nb\r\nc\n")) << error;
    EXPECT_EQ(ReadFile(target), "a\nb\r\nc\n");
    ASSERT_TRUE(Write("{\n  \"a\": 1\n}", true)) << error;
#ifdef _WIN32
    EXPECT_EQ(ReadFile(target), "{\r\n  \"a\": 1\r\n}");
#else
    EXPECT_EQ(ReadFile(target), "{\n  \"a\": 1\n}");
#endif
}

TEST_F(AtomicFileTest, ATemporaryFileThatCannotBeWrittenLeavesTheTargetAsItWas) {
    WriteFile(target, "old");
    // Nothing can be written beside the target (as on a full disk).
    fs::create_directories(Temporary());
    for (const bool inPlace : {false, true}) {
        error.clear();
        EXPECT_FALSE(Write("new", false, inPlace));
        EXPECT_THAT(error, StartsWith("cannot write " + PathToUtf8(Temporary()) + " ("));
        EXPECT_EQ(ReadFile(target), "old");
    }
}

#ifdef _WIN32
// Another program holds the file open without letting it be deleted or renamed over, as editors and
// virus scanners do: the system refuses the replace.
class HeldTargetTest : public AtomicFileTest {
protected:
    void SetUp() override {
        WriteFile(target, "old text");
        held = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    void TearDown() override { CloseHandle(held); }

    HANDLE held = INVALID_HANDLE_VALUE;
};

TEST_F(HeldTargetTest, IsWrittenInPlaceWhenTheCallerWantsIt) {
    ASSERT_TRUE(Write("new", false, true)) << error;
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_FALSE(fs::exists(Temporary()));
}

TEST_F(HeldTargetTest, IsLeftAsItWasOtherwise) {
    EXPECT_FALSE(Write("new"));
    EXPECT_THAT(error, StartsWith("cannot write " + PathToUtf8(target) + " ("));
    EXPECT_EQ(ReadFile(target), "old text");
    EXPECT_FALSE(fs::exists(Temporary()));
}
#endif

TEST_F(AtomicFileTest, CommitFileMovesAWrittenFileOverTheTarget) {
    const fs::path part = temp / "kit.zip.part";
    WriteFile(part, "whole");
    WriteFile(temp / "kit.zip", "old");
    std::string reason;
    ASSERT_TRUE(CommitFile(part, temp / "kit.zip", reason)) << reason;
    EXPECT_EQ(ReadFile(temp / "kit.zip"), "whole");
    EXPECT_FALSE(fs::exists(part));
}

TEST_F(AtomicFileTest, CommitFileOfAMissingFileSaysWhy) {
    std::string reason;
    EXPECT_FALSE(CommitFile(temp / "gone.part", temp / "kit.zip", reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(fs::exists(temp / "kit.zip"));
}

}  // namespace
}  // namespace launcher
