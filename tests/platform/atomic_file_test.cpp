#include "platform/atomic_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>

#include "platform/move_file.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include "tests/support/held_file.h"
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

#ifndef _WIN32
// A link at the temporary name that leads to a file outside: the writer neither writes through it
// nor renames it over the target. (Under Wine a Linux link to a file looks like a plain file, and
// deleting it deletes what it leads to.)
TEST_F(AtomicFileTest, ALinkAtTheTemporaryNameIsNotFollowed) {
    WriteFile(temp / "outside.txt", "outside");
    fs::create_symlink(temp / "outside.txt", Temporary());
    ASSERT_TRUE(Write("new bytes")) << error;
    EXPECT_EQ(ReadFile(temp / "outside.txt"), "outside");
    EXPECT_EQ(ReadFile(target), "new bytes");
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(target)));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Temporary())));
}
#endif

#ifdef _WIN32
// Another program holds the file open without letting it be deleted or renamed over, as editors and
// virus scanners do: the system refuses the replace.
class HeldTargetTest : public AtomicFileTest {
protected:
    void SetUp() override {
        WriteFile(target, "old text");
        held = std::make_unique<test::HeldFile>(target);
    }

    std::unique_ptr<test::HeldFile> held;
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

// What a scanner does to a file it has just seen: it holds it for a moment. Each way of putting a
// file in place waits that out, whether the scanner holds the file that moves or the one it replaces.
struct BriefHoldCase {
    const char* name;
    bool holdTheTarget;
    // Puts source (or, for the atomic writer, the text "new") in place at target.
    std::function<bool(const fs::path& source, const fs::path& target, std::string& error)> replace;
};

bool WriteNewAtomically(const fs::path&, const fs::path& target, std::string& error) {
    return WriteFileAtomically(target, "new", AtomicWriteOptions{}, error);
}

bool MoveReplacing(const fs::path& source, const fs::path& target, std::string& error) {
    return MoveFileReplacing(source, target, error);
}

class BriefHoldTest : public testing::TestWithParam<BriefHoldCase> {
protected:
    test::TempFolder temp;
    fs::path target = temp / "launcher.json";
    fs::path source = temp / "new.bin";
};

TEST_P(BriefHoldTest, IsWaitedOutAndALongerOneStillFails) {
    for (const bool brief : {true, false}) {
        WriteFile(target, "old");
        WriteFile(source, "new");
        std::string error;
        bool replaced = false;
        {
            test::HeldFile held(GetParam().holdTheTarget ? target : source);
            if (brief) held.CloseAfter(std::chrono::milliseconds(300));
            const auto start = std::chrono::steady_clock::now();
            replaced = GetParam().replace(source, target, error);
            const auto took = std::chrono::steady_clock::now() - start;
            // A longer hold is given up on after the second of tries.
            if (!brief) {
                EXPECT_GE(took, (kReplaceTries - 1) * kReplaceWait);
            }
        }
        if (brief) {
            EXPECT_TRUE(replaced) << error;
            EXPECT_EQ(ReadFile(target), "new");
        } else {
            EXPECT_FALSE(replaced);
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(ReadFile(target), "old");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BriefHoldTest,
    testing::Values(BriefHoldCase{"atomic_write", true, WriteNewAtomically},
                    BriefHoldCase{"commit_of_a_download", true, CommitFile},
                    BriefHoldCase{"commit_of_a_held_download", false, CommitFile},
                    BriefHoldCase{"self_update_move", true, MoveReplacing},
                    BriefHoldCase{"self_update_move_of_a_held_download", false, MoveReplacing}),
    test::CaseName());
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
