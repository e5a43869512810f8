#pragma once

#include <array>

namespace launcher::test {

struct ArchiveName {
    const char* name;
    const char* entry;
};

// Entry names that must never be written under a destination. tests/support/make_zip_fixtures.py
// writes an archive for each (but the empty one), named after the hexadecimal form of the entry.
inline constexpr std::array<ArchiveName, 21> kUnsafeNames = {{
    {"empty", ""},
    {"rooted", "/x"},
    {"rooted_backslash", "\\x"},
    {"drive", "C:x"},
    {"stream", "x:y"},
    {"parent", ".."},
    {"parent_last", "a/.."},
    {"parent_inside", "a/../b"},
    {"parent_backslashes", "a\\..\\b"},
    {"parent_blank", ".. /x"},
    {"parent_blank_inside", "a/.. /../x"},
    {"trailing_dot", "hdd./x"},
    {"trailing_blank", "Logs /x"},
    {"trailing_dot_last", "x."},
    {"device", "NUL"},
    {"device_with_extension", "nul.txt"},
    {"device_blank_extension", "NUL .txt"},
    {"device_inside", "a/aux"},
    {"port", "COM1.txt"},
    {"printer", "lpt9"},
    {"control_byte", "a\x01z.txt"},
}};

}  // namespace launcher::test
