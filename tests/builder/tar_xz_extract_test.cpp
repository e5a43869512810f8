#include "builder/tar_xz_extract.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "builder/archive_path.h"
#include "builder/tar_reader.h"
#include "platform/file_tree.h"
#include "platform/text.h"
#include "tests/support/case_name.h"
#include "tests/support/digests.h"
#include "tests/support/loopback.h"
#include "tests/support/tar_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/xz_file.h"

namespace fs = std::filesystem;

namespace launcher {
namespace {

using test::ReadFile;
using test::TarHeader;
using test::TarWriter;
using test::XzCompress;
using testing::ElementsAre;
using testing::IsEmpty;

using Files = std::map<std::string, std::string>;

// Every file below root, by its '/'-separated name, with its bytes.
Files FilesOf(const fs::path& root) {
    Files files;
    std::error_code ec;
    WalkTree(
        root,
        [&](const fs::path& path, EntryKind kind) {
            if (kind != EntryKind::File) return;
            std::string name = PathToUtf8(path.lexically_relative(root));
            std::replace(name.begin(), name.end(), '\\', '/');
            files[name] = ReadFile(path);
        },
        ec);
    return files;
}

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(PathToUtf8(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string Flipped(std::string bytes, size_t at) {
    bytes.at(at) = static_cast<char>(bytes.at(at) ^ 0x55);
    return bytes;
}

// Where the check of an .xz file's single block ends: where its index begins.
size_t IndexStart(const std::string& xz) {
    const size_t footer = xz.size() - 12;
    std::uint32_t stored = 0;
    for (int i = 3; i >= 0; --i) stored = (stored << 8) | static_cast<std::uint8_t>(xz[footer + 4 + i]);
    return footer - (static_cast<size_t>(stored) + 1) * 4;
}

class ExtractTarXzTest : public testing::Test {
protected:
    bool Extract(const fs::path& from, const EntryRename& rename = {}, const ExtractProgress& progress = {}) {
        return ExtractTarXz(from, out, rename, progress, &cancel, error);
    }
    bool ExtractBytes(const std::string& xz, const EntryRename& rename = {}) {
        test::WriteFile(archive, xz);
        return Extract(archive, rename);
    }

    test::TempFolder temp;
    fs::path archive = temp / "archive.tar.xz";
    fs::path out = temp / "out";
    std::atomic<bool> cancel{false};
    std::string error;
};

// Archives of GNU tar

struct RealTarCase {
    const char* name;
    const char* archive;
};

class ExtractTarXzRealTarTest : public ExtractTarXzTest, public testing::WithParamInterface<RealTarCase> {};

TEST_P(ExtractTarXzRealTarTest, UnpacksTheTreeOfItsListing) {
    const fs::path fixtures = test::LoopbackFolder() / "site" / "tool-fixtures" / "tar";
    const fs::path from = fixtures / GetParam().archive;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    const auto record = [&](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); };
    ASSERT_TRUE(Extract(from, {}, record)) << error;

    std::vector<std::string> unpacked;
    for (const auto& [name, bytes] : FilesOf(out)) {
        unpacked.push_back(name + "\t" + std::to_string(bytes.size()) + "\t" + test::Sha256Of(bytes));
    }
    std::vector<std::string> listed = test::ReadLines(fixtures / (std::string(GetParam().archive) + ".listing"));
    std::sort(listed.begin(), listed.end());
    ASSERT_GT(listed.size(), 2000u);
    std::vector<std::string> missing;
    std::vector<std::string> extra;
    std::set_difference(listed.begin(), listed.end(), unpacked.begin(), unpacked.end(), std::back_inserter(missing));
    std::set_difference(unpacked.begin(), unpacked.end(), listed.begin(), listed.end(), std::back_inserter(extra));
    EXPECT_THAT(missing, IsEmpty());
    EXPECT_THAT(extra, IsEmpty());

    // The archive's bytes read, never falling, up to its size.
    const std::uint64_t size = fs::file_size(from);
    ASSERT_GE(calls.size(), 5u);
    for (size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i - 1].first, calls[i].first);
    for (const auto& call : calls) EXPECT_EQ(call.second, size);
    EXPECT_EQ(calls.back().first, size);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExtractTarXzRealTarTest,
                         testing::Values(RealTarCase{"gnu", "gnu.tar.xz"}, RealTarCase{"pax", "pax.tar.xz"},
                                         RealTarCase{"ustar", "ustar.tar.xz"},
                                         RealTarCase{"dot_names", "dot.tar.xz"}),
                         test::CaseName());

// Archives made here, hostile ones among them

const std::string kLongName = "long/" + std::string(110, 'n') + ".txt";
const std::string kLongTarget = "long/" + std::string(105, 't') + "/target.bin";
const std::string kLongLink = "long/" + std::string(110, 'l');

std::string Tar(const TarWriter& tar) { return XzCompress(tar.bytes()); }

TarHeader Header(const std::string& name, char type = '0') {
    TarHeader header;
    header.name = name;
    header.type = type;
    return header;
}

TarHeader SizedHeader(const std::string& name, std::string rawSize, char type = '0') {
    TarHeader header = Header(name, type);
    header.rawSize = std::move(rawSize);
    return header;
}

std::string SkipBelowSkip(const std::string& name) { return name.rfind("skip/", 0) == 0 ? std::string() : name; }

struct TableCase {
    const char* name;
    std::string (*xz)();
    // {archive} and {out} stand for the archive's and the destination's paths; "" for success.
    std::string error;
    // The files the destination holds afterwards.
    std::optional<Files> files;
    std::string (*rename)(const std::string&) = nullptr;
};

class ExtractTarXzTableTest : public ExtractTarXzTest, public testing::WithParamInterface<TableCase> {};

TEST_P(ExtractTarXzTableTest, GivesItsOutcome) {
    const TableCase& row = GetParam();
    EntryRename rename;
    if (row.rename != nullptr) rename = row.rename;
    const bool ok = ExtractBytes(row.xz(), rename);
    if (row.error.empty()) {
        EXPECT_TRUE(ok) << error;
    } else {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, Replace(Replace(row.error, "{archive}", PathToUtf8(archive)), "{out}", PathToUtf8(out)));
    }
    if (row.files) {
        EXPECT_EQ(FilesOf(out), *row.files);
    }
    // Nothing lands beside the destination.
    for (const std::string& name : NamesIn(temp.path())) {
        EXPECT_TRUE(name == "archive.tar.xz" || name == "out") << name;
    }
}

const std::string kRandom = RandomBytes(64 * 1024, 7);

std::string OneFile() { return Tar(TarWriter().File("a", kRandom).End()); }

INSTANTIATE_TEST_SUITE_P(
    Headers, ExtractTarXzTableTest,
    testing::Values(
        TableCase{"ustar_prefix",
                  [] {
                      TarHeader header = Header("c.txt");
                      header.prefix = "a/b";
                      return Tar(TarWriter().Entry(header, "abc").End());
                  },
                  "", Files{{"a/b/c.txt", "abc"}}},
        TableCase{"prefix_without_ustar_magic",
                  [] {
                      TarHeader header = Header("c.txt");
                      header.prefix = "a/b";
                      header.ustar = false;
                      return Tar(TarWriter().Entry(header, "abc").End());
                  },
                  "", Files{{"c.txt", "abc"}}},
        TableCase{"long_name", [] { return Tar(TarWriter().LongName(kLongName).File("short", "x").End()); }, "",
                  Files{{kLongName, "x"}}},
        TableCase{"pax_path_after_long_name",
                  [] {
                      return Tar(TarWriter().LongName("from-long").Pax({{"path", "from-pax"}}).File("plain", "x").End());
                  },
                  "", Files{{"from-pax", "x"}}},
        TableCase{"pax_path_before_long_name",
                  [] {
                      return Tar(TarWriter().Pax({{"path", "from-pax"}}).LongName("from-long").File("plain", "x").End());
                  },
                  "", Files{{"from-pax", "x"}}},
        TableCase{"pax_mtime_is_ignored",
                  [] {
                      return Tar(TarWriter()
                                     .Pax({{"mtime", "1700000000.5"}, {"path", "named"}, {"size", "99"}})
                                     .File("plain", "x")
                                     .End());
                  },
                  "", Files{{"named", "x"}}},
        TableCase{"pax_record_past_its_data",
                  [] {
                      const std::string records = test::PaxRecord("comment", "c") + "99 path=far\n";
                      return Tar(TarWriter().Entry(Header("pax", 'x'), records).File("plain", "x").End());
                  },
                  "", Files{{"plain", "x"}}},
        TableCase{"pax_record_of_bad_length",
                  [] {
                      return Tar(TarWriter().Entry(Header("pax", 'x'), "1x path=far\n").File("plain", "x").End());
                  },
                  "", Files{{"plain", "x"}}},
        TableCase{"pax_linkpath",
                  [] {
                      return Tar(
                          TarWriter().File("t.txt", "T").Pax({{"linkpath", "t.txt"}}).Link('2', "l", "other").End());
                  },
                  "", Files{{"t.txt", "T"}, {"l", "T"}}},
        TableCase{"size_among_blanks",
                  [] {
                      return Tar(TarWriter()
                                     .Entry(SizedHeader("f", std::string(" 0 1 2  \0", 9)), "0123456789")
                                     .File("g", "G")
                                     .End());
                  },
                  "", Files{{"f", "0123456789"}, {"g", "G"}}},
        TableCase{"size_in_base_256",
                  [] {
                      std::string size = test::Base256Size(10);
                      size[1] = size[2] = size[3] = static_cast<char>(0xFF);
                      return Tar(TarWriter().Entry(SizedHeader("f", size), "0123456789").File("g", "G").End());
                  },
                  "", Files{{"f", "0123456789"}, {"g", "G"}}},
        TableCase{"global_header_changes_nothing",
                  [] { return Tar(TarWriter().Pax({{"path", "global"}}, 'g').File("a.txt", "A").End()); }, "",
                  Files{{"a.txt", "A"}}},
        TableCase{"folder_entry_makes_nothing", [] { return Tar(TarWriter().Folder("empty/").End()); }, "", Files{}},
        TableCase{"empty_file", [] { return Tar(TarWriter().File("zero", "").End()); }, "", Files{{"zero", ""}}},
        TableCase{"later_duplicate_replaces",
                  [] { return Tar(TarWriter().File("same", "the first, longer").File("same", "second").End()); }, "",
                  Files{{"same", "second"}}},
        TableCase{"reading_goes_on_after_zero_blocks",
                  [] { return Tar(TarWriter().File("a", "A").End().File("b", "B").End()); }, "",
                  Files{{"a", "A"}, {"b", "B"}}},
        TableCase{"other_types_are_passed_over",
                  [] {
                      return Tar(TarWriter()
                                     .Entry(Header("fifo", '6'), "data of a fifo")
                                     .Entry(Header("device", '3'), std::string(600, 'd'))
                                     .File("a", "A")
                                     .End());
                  },
                  "", Files{{"a", "A"}}},
        TableCase{"renamed_to_nothing_is_skipped",
                  [] { return Tar(TarWriter().File("skip/x", kRandom).File("keep", "K").End()); }, "",
                  Files{{"keep", "K"}}, SkipBelowSkip},
        TableCase{"missing_last_padding",
                  [] {
                      std::string tar = TarWriter().File("a", "abc").bytes();
                      tar.resize(512 + 3);
                      return XzCompress(tar);
                  },
                  "", Files{{"a", "abc"}}}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Links, ExtractTarXzTableTest,
    testing::Values(
        TableCase{"symbolic_link_to_a_parent_folder",
                  [] { return Tar(TarWriter().File("lib/tool.exe", "T").Link('2', "bin/tool", "../lib/tool.exe").End()); },
                  "", Files{{"lib/tool.exe", "T"}, {"bin/tool", "T"}}},
        TableCase{"symbolic_link_before_its_target",
                  [] { return Tar(TarWriter().Link('2', "bin/tool", "../lib/tool.exe").File("lib/tool.exe", "T").End()); },
                  "", Files{{"lib/tool.exe", "T"}}},
        TableCase{"hard_link_by_full_name",
                  [] { return Tar(TarWriter().File("lib/tool.exe", "T").Link('1', "bin/tool.exe", "lib/tool.exe").End()); },
                  "", Files{{"lib/tool.exe", "T"}, {"bin/tool.exe", "T"}}},
        TableCase{"hard_link_before_its_target",
                  [] { return Tar(TarWriter().Link('1', "b", "a").File("a", "A").End()); }, "", Files{{"a", "A"}}},
        TableCase{"link_to_a_link",
                  [] {
                      return Tar(TarWriter().File("x", "X").Link('2', "l1", "x").Link('1', "l2", "l1").Link('2', "l3", "l2").End());
                  },
                  "", Files{{"x", "X"}, {"l1", "X"}, {"l2", "X"}, {"l3", "X"}}},
        TableCase{"symbolic_link_onto_its_own_target",
                  [] { return Tar(TarWriter().File("d/x", kRandom).Link('2', "d/x", "x").End()); }, "",
                  Files{{"d/x", kRandom}}},
        TableCase{"hard_link_onto_its_own_target",
                  [] { return Tar(TarWriter().File("x", kRandom).Link('1', "./x", "x").End()); }, "",
                  Files{{"x", kRandom}}},
        TableCase{"symbolic_link_in_dot_names",
                  [] {
                      return Tar(TarWriter().File("./lib/tool.exe", "T").Link('2', "./bin/tool", "../lib/tool.exe").End());
                  },
                  "", Files{{"lib/tool.exe", "T"}, {"bin/tool", "T"}}},
        TableCase{"hard_link_in_dot_names",
                  [] { return Tar(TarWriter().File("./a", "A").Link('1', "./b", "./a").End()); }, "",
                  Files{{"a", "A"}, {"b", "A"}}},
        TableCase{"symbolic_link_rooted",
                  [] { return Tar(TarWriter().File("x", "X").Link('2', "l", "/x").End()); }, "", Files{{"x", "X"}}},
        TableCase{"symbolic_link_above_the_top",
                  [] { return Tar(TarWriter().File("x", "X").Link('2', "a/l", "../../x").End()); }, "",
                  Files{{"x", "X"}}},
        TableCase{"hard_link_rooted",
                  [] { return Tar(TarWriter().File("x", "X").Link('1', "l", "/x").End()); }, "", Files{{"x", "X"}}},
        TableCase{"hard_link_above_the_top",
                  [] { return Tar(TarWriter().File("x", "X").Link('1', "l", "../x").End()); }, "", Files{{"x", "X"}}},
        TableCase{"links_of_unsafe_names",
                  [] {
                      return Tar(TarWriter()
                                     .File("x", "X")
                                     .Link('2', "../l", "x")
                                     .Link('1', "/l", "x")
                                     .Link('1', "C:l", "x")
                                     .Link('2', "a/../../l", "../x")
                                     .End());
                  },
                  "", Files{{"x", "X"}}},
        TableCase{"long_link_then_long_name",
                  [] {
                      return Tar(TarWriter()
                                     .LongName(kLongTarget)
                                     .File("cut-target", "T")
                                     .LongLink("../" + kLongTarget)
                                     .LongName(kLongLink)
                                     .Link('2', "cut-name", "cut-target")
                                     .End());
                  },
                  "", Files{{kLongTarget, "T"}, {kLongLink, "T"}}},
        TableCase{"non_utf8_long_name_of_a_link",
                  [] { return Tar(TarWriter().File("x", "X").LongName("bad-\xFF").Link('1', "ignored", "x").End()); },
                  "", Files{{"x", "X"}}}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Damage, ExtractTarXzTableTest,
    testing::Values(
        TableCase{"non_utf8_long_name_of_a_file",
                  [] { return Tar(TarWriter().LongName("bad-\xFF.txt").File("ignored", "data").End()); },
                  "cannot write {out}/bad-\xFF.txt", Files{}},
        TableCase{"base_256_size_of_2_to_the_62",
                  [] {
                      return Tar(TarWriter().Entry(SizedHeader("f", test::Base256Size(1ull << 62)), "abc"));
                  },
                  "the tar data ends early in {archive}", Files{{"f", "abc" + std::string(509, '\0')}}},
        TableCase{"octal_size_of_8_gib",
                  [] { return Tar(TarWriter().Entry(SizedHeader("f", std::string("77777777777\0", 12)), "abc")); },
                  "the tar data ends early in {archive}", Files{{"f", "abc" + std::string(509, '\0')}}},
        TableCase{"ends_in_data",
                  [] {
                      TarHeader header = Header("f");
                      header.size = 1000;
                      return Tar(TarWriter().File("a", "A").Entry(header, "0123456789"));
                  },
                  "the tar data ends early in {archive}", Files{{"a", "A"}, {"f", "0123456789" + std::string(502, '\0')}}},
        TableCase{"ends_in_a_long_name",
                  [] {
                      TarHeader header = Header("././@LongLink", 'L');
                      header.size = 2000;
                      return Tar(TarWriter().Entry(header, std::string(100, 'n')));
                  },
                  "the tar data ends early in {archive}", Files{}},
        TableCase{"ends_in_a_header",
                  [] {
                      const std::string next = TarWriter().File("b", "B").bytes().substr(0, 200);
                      return Tar(TarWriter().File("a", "A").Raw(next));
                  },
                  "the tar data ends early in {archive}", Files{{"a", "A"}}},
        TableCase{"pax_data_over_1_mib",
                  [] {
                      return Tar(TarWriter().Pax({{"comment", std::string(2 << 20, 'c')}}).File("a", "A").End());
                  },
                  "the tar data is damaged in {archive}", Files{}},
        TableCase{"long_name_over_1_mib",
                  [] { return Tar(TarWriter().LongName(std::string(1 << 20, 'n')).File("a", "A").End()); },
                  "the tar data is damaged in {archive}", Files{}},
        TableCase{"pax_data_of_1_mib",
                  [] {
                      // 7 digits, a blank, "comment=", the text and a newline: 1 MiB in all.
                      const std::string record = test::PaxRecord("comment", std::string((1 << 20) - 17, 'c'));
                      return Tar(TarWriter().Entry(Header("pax", 'x'), record).File("a", "A").End());
                  },
                  "", Files{{"a", "A"}}}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Xz, ExtractTarXzTableTest,
    testing::Values(
        TableCase{"cut_short",
                  [] {
                      const std::string xz = OneFile();
                      return xz.substr(0, xz.size() / 2);
                  },
                  "the xz file ends early: {archive}", std::nullopt},
        TableCase{"flipped_data_byte", [] { return Flipped(OneFile(), OneFile().size() / 2); },
                  "the xz data is damaged (7) in {archive}", std::nullopt},
        TableCase{"flipped_check",
                  [] {
                      const std::string xz = OneFile();
                      return Flipped(xz, IndexStart(xz) - 1);
                  },
                  "the xz data is damaged (7) in {archive}", Files{{"a", kRandom}}},
        TableCase{"flipped_stream_header", [] { return Flipped(OneFile(), 8); },
                  "the xz data is damaged (7) in {archive}", Files{}},
        TableCase{"gzip",
                  [] {
                      return std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00",
                                         20);
                  },
                  "the xz data is damaged (5) in {archive}", Files{}},
        TableCase{"dictionary_of_1_5_gib",
                  [] { return test::WithDictionaryByte(Tar(TarWriter().File("a", "A").End()), 37); },
                  "the xz data is damaged (4) in {archive}", Files{}},
        TableCase{"dictionary_of_1_gib",
                  [] { return test::WithDictionaryByte(Tar(TarWriter().File("a", "A").End()), 36); }, "",
                  Files{{"a", "A"}}},
        TableCase{"no_check",
                  [] { return XzCompress(TarWriter().File("a", "A").End().bytes(), {test::XzCheck::None}); }, "",
                  Files{{"a", "A"}}},
        TableCase{"crc32_check",
                  [] { return XzCompress(TarWriter().File("a", "A").End().bytes(), {test::XzCheck::Crc32}); }, "",
                  Files{{"a", "A"}}},
        TableCase{"sha256_check",
                  [] { return XzCompress(TarWriter().File("a", "A").End().bytes(), {test::XzCheck::Sha256}); }, "",
                  Files{{"a", "A"}}},
        TableCase{"flipped_sha256_check",
                  [] {
                      const std::string xz = XzCompress(TarWriter().File("a", "A").End().bytes(), {test::XzCheck::Sha256});
                      return Flipped(xz, IndexStart(xz) - 1);
                  },
                  "the xz data is damaged (7) in {archive}", Files{{"a", "A"}}},
        TableCase{"x86_filter",
                  [] {
                      test::XzOptions options;
                      options.x86 = true;
                      return XzCompress(TarWriter().File("a.exe", kRandom).End().bytes(), options);
                  },
                  "", Files{{"a.exe", kRandom}}},
        TableCase{"two_streams",
                  [] { return Tar(TarWriter().File("a", "A").End()) + Tar(TarWriter().File("b", "B").End()); }, "",
                  Files{{"a", "A"}}}),
    test::CaseName());

// Names that must never be written: plain, as a GNU long name and as a pax path.

struct UnsafeCase {
    std::string name;
    std::string entry;
    char way;           // '0' plain, 'L' long name, 'x' pax path
    std::string shown;  // the entry as the message shows it
};

std::vector<UnsafeCase> UnsafeCases() {
    // Control bytes are shown escaped; only a pax path can hold a NUL.
    const std::vector<std::tuple<std::string, std::string, std::string>> names = {
        {"parent", "../x", "../x"},
        {"parent_inside", "a/../x", "a/../x"},
        {"rooted", "/x", "/x"},
        {"rooted_backslash", "\\x", "\\x"},
        {"drive", "C:x", "C:x"},
        {"dot", ".", "."},
        {"dots_and_separators", ".//./", ".//./"},
        {"line_feed", "a\nb.txt", "a\\x0ab.txt"},
        {"escape", "\x1b[31mred", "\\x1b[31mred"}};
    std::vector<UnsafeCase> cases;
    for (const auto& [name, entry, shown] : names) {
        cases.push_back({"plain_" + name, entry, '0', shown});
        cases.push_back({"long_name_" + name, entry, 'L', shown});
        cases.push_back({"pax_path_" + name, entry, 'x', shown});
    }
    cases.push_back({"pax_path_nul_device", std::string("nul\0", 4), 'x', "nul\\x00"});
    cases.push_back({"pax_path_trailing_dot", std::string("dots.\0", 6), 'x', "dots.\\x00"});
    cases.push_back({"pax_path_hidden_after_nul", std::string("written.txt\0.hidden", 19), 'x', "written.txt\\x00.hidden"});
    return cases;
}

class ExtractTarXzUnsafeNameTest : public ExtractTarXzTest, public testing::WithParamInterface<UnsafeCase> {};

TEST_P(ExtractTarXzUnsafeNameTest, StopsTheExtractionNamingTheEntry) {
    const UnsafeCase& row = GetParam();
    TarWriter tar;
    tar.File("ok.txt", "ok");
    if (row.way == 'L') tar.LongName(row.entry);
    if (row.way == 'x') tar.Pax({{"path", row.entry}});
    tar.File(row.way == '0' ? row.entry : "harmless", "bad").File("z.txt", "z").End();
    EXPECT_FALSE(ExtractBytes(Tar(tar)));
    EXPECT_EQ(error, "unsafe path in the archive: " + row.shown);
    EXPECT_EQ(FilesOf(out), (Files{{"ok.txt", "ok"}}));
    EXPECT_THAT(NamesIn(temp.path()), ElementsAre("archive.tar.xz", "out"));
}

INSTANTIATE_TEST_SUITE_P(Names, ExtractTarXzUnsafeNameTest, testing::ValuesIn(UnsafeCases()), test::CaseName());

// Failures of the archive and the disk; a stop

TEST_F(ExtractTarXzTest, AMissingArchiveCannotBeOpened) {
    EXPECT_FALSE(Extract(archive));
    EXPECT_EQ(error, "cannot open " + PathToUtf8(archive));
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(ExtractTarXzTest, AFolderCannotBeOpened) {
    fs::create_directories(archive);
    EXPECT_FALSE(Extract(archive));
    EXPECT_EQ(error, "cannot open " + PathToUtf8(archive));
}

TEST_F(ExtractTarXzTest, SuccessLeavesTheErrorTextAsItWas) {
    error = "earlier";
    EXPECT_TRUE(ExtractBytes(Tar(TarWriter().File("a", "A").End())));
    EXPECT_EQ(error, "earlier");
}

TEST_F(ExtractTarXzTest, AFileThatCannotBeOpenedStopsTheExtraction) {
    fs::create_directories(out / "taken" / "inner");
    EXPECT_FALSE(ExtractBytes(Tar(TarWriter().File("taken", "T").File("later", "L").End())));
    EXPECT_EQ(error, "cannot write " + PathToUtf8(out / "taken"));
    EXPECT_FALSE(fs::exists(out / "later"));
}

#ifndef _WIN32
// A full disk: /dev/full takes the open but refuses every write.
TEST_F(ExtractTarXzTest, AFailedWriteIsReported) {
    fs::create_directories(out);
    fs::create_symlink("/dev/full", out / "full");
    for (const std::string& data : {std::string("small"), RandomBytes(5 << 20, 3)}) {
        EXPECT_FALSE(ExtractBytes(Tar(TarWriter().File("full", data).File("later", "L").End()))) << data.size();
        EXPECT_EQ(error, "cannot write " + PathToUtf8(out / "full"));
        EXPECT_FALSE(fs::exists(out / "later"));
    }
}
#endif

TEST_F(ExtractTarXzTest, AStopFromTheProgressEndsItWithTheLastFileClosed) {
    // Random data does not shrink: several reads of the archive.
    test::WriteFile(archive, Tar(TarWriter().File("first", "1").File("big", RandomBytes(6 << 20, 9)).File("last", "L").End()));
    int calls = 0;
    const auto stop = [&](std::uint64_t, std::uint64_t) {
        if (++calls == 2) cancel = true;
    };
    EXPECT_FALSE(Extract(archive, {}, stop));
    EXPECT_EQ(error, "cancelled");
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(ReadFile(out / "first"), "1");
    EXPECT_GT(fs::file_size(out / "big"), 0u);
    EXPECT_LT(fs::file_size(out / "big"), 6u << 20);
    EXPECT_FALSE(fs::exists(out / "last"));
    std::error_code ec;
    EXPECT_TRUE(RemoveTree(out / "big", ec)) << ec.message();
}

TEST_F(ExtractTarXzTest, TheRenameSeesCompletedNamesAndPlacesTheFiles) {
    std::vector<std::string> seen;
    const auto strip = [&](const std::string& name) {
        seen.push_back(name);
        const size_t slash = name.find('/');
        return slash == std::string::npos ? std::string() : name.substr(slash + 1);
    };
    TarHeader prefixed = Header("c.txt");
    prefixed.prefix = "top/a";
    ASSERT_TRUE(ExtractBytes(Tar(TarWriter()
                                     .Folder("top/")
                                     .Entry(prefixed, "C")
                                     .LongName("top/" + kLongName)
                                     .File("cut", "L")
                                     .File("top/lib/x", "X")
                                     .Link('2', "top/bin/x", "../lib/x")
                                     .End()),
                             strip))
        << error;
    EXPECT_THAT(seen, ElementsAre("top/a/c.txt", "top/" + kLongName, "top/lib/x", "top/bin/x"));
    EXPECT_EQ(FilesOf(out), (Files{{"a/c.txt", "C"}, {kLongName, "L"}, {"lib/x", "X"}, {"bin/x", "X"}}));
}

#ifndef _WIN32
TEST_F(ExtractTarXzTest, FilesGetTheExecuteBitsTheArchiveRecords) {
    ASSERT_TRUE(ExtractBytes(Tar(TarWriter().File("tool", "#!/bin/sh\n", 0755).File("data", "d", 0644).End())));
    const auto executable = [](const fs::path& file) {
        return (fs::status(file).permissions() & fs::perms::owner_exec) != fs::perms::none;
    };
    EXPECT_TRUE(executable(out / "tool"));
    EXPECT_FALSE(executable(out / "data"));
}
#endif

// The reader alone, fed in pieces of every size: headers, records and data across the pieces.

TEST(ExtractTarXzReaderTest, PiecesOfAnySizeGiveTheSameTree) {
    const std::string tar = TarWriter()
                                .File("empty", "")
                                .File("odd", std::string(511, 'o'))
                                .File("block", std::string(512, 'b'))
                                .File("over", std::string(513, 'v'))
                                .LongName(kLongName)
                                .File("cut", RandomBytes(5000, 1))
                                .Pax({{"path", "pax/named"}, {"mtime", "1"}})
                                .File("plain", "P")
                                .Link('2', "pax/link", "named")
                                .LongName(kLongTarget)
                                .File("cut-target", "T")
                                .LongLink("../" + kLongTarget)
                                .LongName(kLongLink)
                                .Link('2', "cut-name", "cut-target")
                                .End()
                                .bytes();
    const Files expected = {{"empty", ""},
                            {"odd", std::string(511, 'o')},
                            {"block", std::string(512, 'b')},
                            {"over", std::string(513, 'v')},
                            {kLongName, RandomBytes(5000, 1)},
                            {"pax/named", "P"},
                            {"pax/link", "P"},
                            {kLongTarget, "T"},
                            {kLongLink, "T"}};
    test::TempFolder temp;
    for (size_t piece : {size_t{1}, size_t{7}, size_t{100}, size_t{511}, size_t{512}, size_t{513}, size_t{4096}, tar.size()}) {
        TarState state;
        state.destination = temp / std::to_string(piece);
        std::string error;
        bool ok = true;
        for (size_t at = 0; at < tar.size() && ok; at += piece) {
            ok = FeedTar(state, tar.data() + at, std::min(piece, tar.size() - at), error);
        }
        ASSERT_TRUE(ok && FinishTar(state, error)) << piece << ": " << error;
        EXPECT_EQ(FilesOf(state.destination), expected) << piece;
    }
}

struct NormaliseCase {
    const char* name;
    const char* path;
    const char* normalised;
};

class ExtractTarXzNormaliseTest : public testing::TestWithParam<NormaliseCase> {};

TEST_P(ExtractTarXzNormaliseTest, Normalises) { EXPECT_EQ(NormaliseEntryPath(GetParam().path), GetParam().normalised); }

INSTANTIATE_TEST_SUITE_P(Paths, ExtractTarXzNormaliseTest,
                         testing::Values(NormaliseCase{"plain", "a/b", "a/b"}, NormaliseCase{"empty", "", ""},
                                         NormaliseCase{"dot_prefix", "./a/b", "a/b"},
                                         NormaliseCase{"doubled_and_trailing", "a//b/", "a/b"},
                                         NormaliseCase{"rooted", "/a/b", "a/b"},
                                         NormaliseCase{"parent_inside", "a/b/../c", "a/c"},
                                         NormaliseCase{"parent_of_all", "a/b/../..", ""},
                                         NormaliseCase{"parent_above_the_top", "../../a", "a"},
                                         NormaliseCase{"parent_after_dot", "a/./../b", "b"},
                                         NormaliseCase{"dots_in_names", "a/.b/..c/...", "a/.b/..c/..."},
                                         NormaliseCase{"backslash_is_a_character", "a\\b/../c", "c"}),
                         test::CaseName());

}  // namespace
}  // namespace launcher
