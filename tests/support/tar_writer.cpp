#include "tests/support/tar_writer.h"

#include <algorithm>
#include <cstdio>

namespace launcher::test {
namespace {

constexpr std::size_t kBlock = 512;

void Put(std::string& header, std::size_t offset, std::size_t size, const std::string& text) {
    header.replace(offset, std::min(size, text.size()), text.substr(0, size));
}

std::string Octal(std::uint64_t value, std::size_t digits) {
    char text[32];
    std::snprintf(text, sizeof text, "%0*llo", static_cast<int>(digits), static_cast<unsigned long long>(value));
    return text;
}

std::string Padding(std::size_t size) { return std::string((kBlock - size % kBlock) % kBlock, '\0'); }

}  // namespace

std::string PaxRecord(const std::string& key, const std::string& value) {
    const std::string body = " " + key + "=" + value + "\n";
    std::size_t length = body.size() + 1;
    while (std::to_string(length).size() + body.size() != length) ++length;
    return std::to_string(length) + body;
}

std::string Base256Size(std::uint64_t size) {
    std::string field(12, '\0');
    field[0] = static_cast<char>(0x80);
    for (int i = 0; i < 8; ++i) field[4 + i] = static_cast<char>((size >> (8 * (7 - i))) & 0xFF);
    return field;
}

TarWriter& TarWriter::Entry(const TarHeader& entry, const std::string& data) {
    std::string header(kBlock, '\0');
    Put(header, 0, 100, entry.name);
    Put(header, 100, 8, Octal(entry.mode, 7));
    Put(header, 108, 8, Octal(0, 7));
    Put(header, 116, 8, Octal(0, 7));
    if (entry.rawSize) {
        Put(header, 124, 12, *entry.rawSize);
    } else {
        Put(header, 124, 12, Octal(entry.size.value_or(data.size()), 11));
    }
    Put(header, 136, 12, Octal(1700000000, 11));
    header[156] = entry.type;
    Put(header, 157, 100, entry.link);
    if (entry.ustar) {
        Put(header, 257, 6, std::string("ustar\0", 6));
        Put(header, 263, 2, "00");
    }
    Put(header, 345, 155, entry.prefix);
    // The checksum counts its own field as blanks.
    Put(header, 148, 8, "        ");
    unsigned sum = 0;
    for (unsigned char c : header) sum += c;
    Put(header, 148, 8, Octal(sum, 6) + std::string("\0 ", 2));
    bytes_ += header;
    bytes_ += data;
    bytes_ += Padding(data.size());
    return *this;
}

TarWriter& TarWriter::File(const std::string& name, const std::string& data, std::uint32_t mode) {
    TarHeader header;
    header.name = name;
    header.mode = mode;
    return Entry(header, data);
}

TarWriter& TarWriter::Folder(const std::string& name) {
    TarHeader header;
    header.name = name;
    header.type = '5';
    header.mode = 0755;
    return Entry(header);
}

TarWriter& TarWriter::Link(char type, const std::string& name, const std::string& target) {
    TarHeader header;
    header.name = name;
    header.type = type;
    header.link = target;
    return Entry(header);
}

TarWriter& TarWriter::LongName(const std::string& name) {
    TarHeader header;
    header.name = "././@LongLink";
    header.type = 'L';
    return Entry(header, name + std::string(1, '\0'));
}

TarWriter& TarWriter::LongLink(const std::string& target) {
    TarHeader header;
    header.name = "././@LongLink";
    header.type = 'K';
    return Entry(header, target + std::string(1, '\0'));
}

TarWriter& TarWriter::Pax(const std::vector<std::pair<std::string, std::string>>& records, char type) {
    std::string data;
    for (const auto& [key, value] : records) data += PaxRecord(key, value);
    TarHeader header;
    header.name = type == 'g' ? "pax_global_header" : "PaxHeaders/entry";
    header.type = type;
    return Entry(header, data);
}

TarWriter& TarWriter::Raw(const std::string& bytes) {
    bytes_ += bytes;
    return *this;
}

TarWriter& TarWriter::End() {
    bytes_ += std::string(2 * kBlock, '\0');
    return *this;
}

}  // namespace launcher::test
