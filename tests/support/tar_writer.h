#pragma once
// Writes tar archives byte by byte for tests, hostile ones included: raw header fields, GNU long
// names and link names, pax records, data that stops short.
//
//   TarWriter tar;
//   tar.File("a/b.txt", "text").LongName(std::string(150, 'n')).File("ignored", "x").End();
//   XzCompress(tar.bytes())                   // tests/support/xz_file.h

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace launcher::test {

struct TarHeader {
    std::string name;  // the 100-byte field; longer names are cut
    char type = '0';
    std::string link;          // the 100-byte link name field
    std::string prefix;        // the 155-byte prefix field
    bool ustar = true;         // "ustar\0" "00" at 257; false leaves the magic empty
    std::uint32_t mode = 0644;
    std::optional<std::uint64_t> size;  // octal in the size field; the data's length when not given
    std::optional<std::string> rawSize;  // the 12 bytes of the size field as they are
};

// One pax record: "<length> key=value\n", the length counting the whole record.
std::string PaxRecord(const std::string& key, const std::string& value);

// The size field's 12 bytes in base-256 (0x80, then the value big-endian in the last eight).
std::string Base256Size(std::uint64_t size);

class TarWriter {
public:
    // A header, then data and the padding to the next 512-byte boundary.
    TarWriter& Entry(const TarHeader& header, const std::string& data = {});
    TarWriter& File(const std::string& name, const std::string& data, std::uint32_t mode = 0644);
    TarWriter& Folder(const std::string& name);
    // A hard link ('1') or symbolic link ('2') entry.
    TarWriter& Link(char type, const std::string& name, const std::string& target);
    // GNU 'L' and 'K' entries: the next entry's name or link name.
    TarWriter& LongName(const std::string& name);
    TarWriter& LongLink(const std::string& target);
    // A pax entry ('x', or 'g' for a global one) holding the records given in order.
    TarWriter& Pax(const std::vector<std::pair<std::string, std::string>>& records, char type = 'x');
    // Bytes as they are, without padding.
    TarWriter& Raw(const std::string& bytes);
    // The two zero blocks that end an archive.
    TarWriter& End();

    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

}  // namespace launcher::test
