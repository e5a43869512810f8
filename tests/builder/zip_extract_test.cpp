#include "builder/zip_extract.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

#include "builder/archive_path.h"
#include "platform/file_tree.h"
#include "platform/text.h"
#include "tests/builder/archive_names.h"
#include "tests/builder/zip_fixture.h"
#include "tests/support/case_name.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::ReadFile;
using test::TreeOf;
using test::ZipFixture;
using testing::ElementsAre;

class ZipExtractTest : public testing::Test {
protected:
    bool Extract(const fs::path& archive, const EntryRename& rename = {}, const ExtractProgress& progress = {}) {
        return ExtractZip(archive, out, rename, progress, &cancel, error);
    }
    std::string CannotWrite(const std::string& entry, const fs::path& archive) {
        return "cannot write " + PathToUtf8(JoinPath(out, entry)) + " from " + PathToUtf8(archive);
    }

    test::TempFolder temp;
    fs::path out = temp / "out";
    std::atomic<bool> cancel{false};
    std::string error;
};

// Layout

TEST_F(ZipExtractTest, BackslashNamesGiveTheSameTreeAndTheCallbackSeesSlashes) {
    std::vector<std::string> seen;
    const auto record = [&](const std::string& name) {
        seen.push_back(name);
        return name;
    };
    ASSERT_TRUE(Extract(ZipFixture("backslashes.zip"), record)) << error;
    EXPECT_THAT(seen, ElementsAre("top.txt", "a/", "a/b/", "a/b/c.txt", "a/d.txt"));
    const std::vector<std::string> fromBackslashes = TreeOf(out);

    out = temp / "slashes";
    ASSERT_TRUE(Extract(ZipFixture("slashes.zip"))) << error;
    EXPECT_EQ(TreeOf(out), fromBackslashes);
    EXPECT_THAT(fromBackslashes, ElementsAre("a/", "a/b/", "a/b/c.txt", "a/d.txt", "top.txt"));
    EXPECT_EQ(ReadFile(out / "a/b/c.txt"), std::string(300, 'c'));
}

TEST_F(ZipExtractTest, AnArchiveOfFoldersAloneWritesNothing) {
    EXPECT_TRUE(Extract(ZipFixture("folders_only.zip"))) << error;
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(error, "");
}

TEST_F(ZipExtractTest, AFileMakesItsParentFolders) {
    ASSERT_TRUE(Extract(ZipFixture("nested.zip"))) << error;
    EXPECT_THAT(TreeOf(out), ElementsAre("a/", "a/b/", "a/b/c.txt"));
    EXPECT_EQ(ReadFile(out / "a/b/c.txt"), "deep");
}

TEST_F(ZipExtractTest, FolderEntriesByNameDosBitOrUnixModeWriteNoFile) {
    std::vector<std::string> seen;
    const auto record = [&](const std::string& name) {
        seen.push_back(name);
        return name;
    };
    ASSERT_TRUE(Extract(ZipFixture("folder_marks.zip"), record)) << error;
    EXPECT_THAT(seen, ElementsAre("by-name/", "by-dos", "by-unix", "file.txt"));
    EXPECT_THAT(TreeOf(out), ElementsAre("file.txt"));
}

TEST_F(ZipExtractTest, NonAsciiNamesAndFoldersWork) {
    const std::string greetings =
        "Gr\xC3\xBC\xC3\x9F"
        "e";
    const std::string japan = "\xE6\x97\xA5\xE6\x9C\xAC";
    const fs::path folder = temp / Utf8Path("Z\xC3\xBCrich \xE6\x9D\xB1\xE4\xBA\xAC");
    fs::create_directories(folder);
    fs::copy_file(ZipFixture("names.zip"), folder / "names.zip");
    out = folder / Utf8Path("Ziel \xC3\x84");
    ASSERT_TRUE(Extract(folder / "names.zip")) << error;
    // greetings + ".txt" is stored without the UTF-8 flag, as Info-ZIP stores names on Linux.
    EXPECT_THAT(TreeOf(out), ElementsAre(greetings + ".txt", greetings + "/", greetings + "/\xC3\x84rger.txt",
                                         japan + "/", japan + "/\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB.txt"));
    EXPECT_EQ(ReadFile(out / Utf8Path(greetings + "/\xC3\x84rger.txt")), "\xC3\x84rger");
}

// Unsafe names

class UnsafeNameTest : public ZipExtractTest, public testing::WithParamInterface<test::ArchiveName> {
protected:
    fs::path Archive() const { return test::UnsafeArchive(GetParam().entry); }
};

TEST_P(UnsafeNameTest, StopsTheExtractionNamingTheEntry) {
    const fs::path archive = Archive();
    std::string swapped = GetParam().entry;
    std::replace(swapped.begin(), swapped.end(), '\\', '/');
    EXPECT_FALSE(Extract(archive));
    EXPECT_EQ(error, "unsafe path in " + PathToUtf8(archive) + ": " + EscapedEntryName(swapped));
    EXPECT_EQ(ReadFile(out / "ok.txt"), "ok");
    EXPECT_FALSE(fs::exists(out / "z.txt"));
    // Nothing beside the destination, not even under a name that Windows would rewrite.
    std::vector<std::string> beside;
    for (const fs::directory_entry& entry : fs::directory_iterator(temp.path())) {
        beside.push_back(PathToUtf8(entry.path().filename()));
    }
    EXPECT_THAT(beside, ElementsAre("out"));
    EXPECT_THAT(TreeOf(out), ElementsAre("ok.txt"));
}

TEST_P(UnsafeNameTest, ARenameToNothingSkipsIt) {
    std::string swapped = GetParam().entry;
    std::replace(swapped.begin(), swapped.end(), '\\', '/');
    const auto skipUnsafe = [&](const std::string& name) { return name == swapped ? std::string() : name; };
    EXPECT_TRUE(Extract(Archive(), skipUnsafe)) << error;
    EXPECT_THAT(TreeOf(out), ElementsAre("ok.txt", "z.txt"));
}

// The empty name cannot be stored by the fixture's writer, and an empty name is skipped anyway.
std::vector<test::ArchiveName> StoredUnsafeNames() {
    std::vector<test::ArchiveName> names;
    for (const test::ArchiveName& name : test::kUnsafeNames) {
        if (*name.entry != '\0') names.push_back(name);
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(Names, UnsafeNameTest, testing::ValuesIn(StoredUnsafeNames()), test::CaseName());

// Integrity

struct BrokenCase {
    const char* name;
    const char* archive;
    bool opens;  // false: the archive itself cannot be read
};

class BrokenArchiveTest : public ZipExtractTest, public testing::WithParamInterface<BrokenCase> {};

TEST_P(BrokenArchiveTest, Fails) {
    const fs::path archive = ZipFixture(GetParam().archive);
    EXPECT_FALSE(Extract(archive));
    if (GetParam().opens) {
        EXPECT_EQ(error, CannotWrite("data.txt", archive));
    } else {
        EXPECT_EQ(error, "cannot open " + PathToUtf8(archive) + " as a zip");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenArchiveTest,
    testing::Values(BrokenCase{"crc_in_both_headers", "crc.zip", true}, BrokenCase{"deflate_data", "deflate.zip", true},
                    BrokenCase{"encrypted", "encrypted.zip", true}, BrokenCase{"bzip2", "bzip2.zip", true},
                    BrokenCase{"more_data_than_declared", "size_short.zip", true},
                    BrokenCase{"less_data_than_declared", "size_long.zip", true},
                    BrokenCase{"records_sharing_a_local_header", "shared_offset.zip", false},
                    BrokenCase{"not_a_zip", "notzip.zip", false}, BrokenCase{"truncated", "truncated.zip", false},
                    BrokenCase{"missing", "missing.zip", false}),
    test::CaseName());

TEST_F(ZipExtractTest, ADirectoryOfZip64RecordsIsRead) {
    ASSERT_TRUE(Extract(ZipFixture("zip64.zip"))) << error;
    EXPECT_EQ(ReadFile(out / "one.txt").substr(0, 6), "oneone");
    EXPECT_EQ(fs::file_size(out / "one.txt"), 150u);
    EXPECT_EQ(fs::file_size(out / "two.txt"), 210u);
}

TEST_F(ZipExtractTest, AnEntryWritesNoMoreThanItDeclares) {
    // It declares 10 bytes and holds 140,000.
    EXPECT_FALSE(Extract(ZipFixture("size_short.zip")));
    EXPECT_LE(fs::file_size(out / "data.txt"), 10u);
}

TEST_F(ZipExtractTest, ANameThatIsNotUtf8FailsWithoutThrowing) {
    const fs::path archive = ZipFixture("badname.zip");
    bool ok = true;
    EXPECT_NO_THROW(ok = Extract(archive));
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "cannot write " + PathToUtf8(out) + "/bad-\xFF\xFE.txt from " + PathToUtf8(archive));
}

// Progress and order

TEST_F(ZipExtractTest, AStopTakesEffectBeforeTheNextEntry) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    const auto stopAfterFirst = [&](std::uint64_t done, std::uint64_t total) {
        calls.emplace_back(done, total);
        cancel = true;
    };
    EXPECT_FALSE(Extract(ZipFixture("order.zip"), {}, stopAfterFirst));
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(ReadFile(out / "one.txt"), std::string(100, '1'));
    EXPECT_FALSE(fs::exists(out / "two.txt"));
    EXPECT_THAT(calls, ElementsAre(std::make_pair(100u, 600u)));
}

TEST_F(ZipExtractTest, ASkippedEntryLeavesTheLastProgressBelowTheTotal) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    const auto skipTwo = [](const std::string& name) { return name == "two.txt" ? std::string() : name; };
    const auto record = [&](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); };
    ASSERT_TRUE(Extract(ZipFixture("order.zip"), skipTwo, record)) << error;
    EXPECT_THAT(calls, ElementsAre(std::make_pair(100u, 600u), std::make_pair(400u, 600u)));
    EXPECT_THAT(TreeOf(out), ElementsAre("one.txt", "three.txt"));
}

TEST_F(ZipExtractTest, ALaterDuplicateWins) {
    ASSERT_TRUE(Extract(ZipFixture("duplicate.zip"))) << error;
    EXPECT_EQ(ReadFile(out / "same.txt"), "second");
}

TEST_F(ZipExtractTest, AFileHasItsEntrysModificationTime) {
    ASSERT_TRUE(Extract(ZipFixture("dated.zip"))) << error;
    // Zip times are local times without a zone.
    std::tm local{};
    local.tm_year = 2019 - 1900;
    local.tm_mon = 4 - 1;
    local.tm_mday = 28;
    local.tm_hour = 17;
    local.tm_min = 5;
    local.tm_sec = 42;
    local.tm_isdst = -1;
    const std::time_t expected = std::mktime(&local);
    const auto written = fs::file_time_type::clock::to_sys(fs::last_write_time(out / "dated.txt"));
    const std::time_t actual = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(written));
    EXPECT_LE(std::abs(static_cast<double>(actual - expected)), 2.0);
}

TEST_F(ZipExtractTest, ASymbolicLinkEntryBecomesAFileHoldingItsText) {
    ASSERT_TRUE(Extract(ZipFixture("symlink.zip"))) << error;
    EXPECT_FALSE(IsLink(out / "link"));
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(out / "link")));
    EXPECT_EQ(ReadFile(out / "link"), "target/file.txt");
}

#ifndef _WIN32
TEST_F(ZipExtractTest, FilesGetTheExecuteBitsTheArchiveRecords) {
    ASSERT_TRUE(Extract(ZipFixture("modes.zip"))) << error;
    const auto executable = [](const fs::path& file) {
        return (fs::status(file).permissions() & fs::perms::owner_exec) != fs::perms::none;
    };
    EXPECT_TRUE(executable(out / "tool"));
    EXPECT_FALSE(executable(out / "data"));
}
#endif

}  // namespace
}  // namespace launcher
