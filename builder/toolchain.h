#pragma once
// The tool list: the outside tools a build from source needs, read from the list's JSON text.

#include <cstdint>
#include <string>
#include <vector>

namespace launcher {

// One file to download.
struct FileRef {
    std::string name;
    std::string url;
    std::string sha256;
    std::uint64_t size = 0;
};

// One installable tool.
struct Tool {
    std::string id;
    std::string title;
    std::string kind;
    std::string stamp;
    std::vector<FileRef> files;
    std::vector<FileRef> cabs;
    std::int32_t strip = 0;
    std::vector<std::string> keep;
    bool optional = false;

    // The bytes of files and cabs together.
    std::uint64_t DownloadSize() const;
};

struct Toolchain {
    std::vector<Tool> tools;  // in list order
    std::string sdkVersion;
};

// Appends the "tools" entries of a tool list to toolchain. A text that is not a list, or holds a
// value of an unexpected type anywhere in "tools", appends nothing; a tool that lacks its id, url or
// digest, or whose id or file name is unsafe, stops the reading there, the tools before it kept.
bool ReadToolchain(const std::string& text, Toolchain& toolchain, std::string& error);

// Every "%" followed by two hexadecimal digits becomes the byte they give; all else is copied.
std::string PercentDecode(const std::string& text);

// True for a name that can be used as one folder or file name below a folder of ours: printable
// ASCII, no separator, not "." and safe by IsSafeRelativePath. Tool ids and the names of downloaded
// files come from the network and become paths, so each must pass.
bool IsSafeToolName(const std::string& name);

// Whether url begins with "https://", in any case of its letters. Every address the tool road
// downloads from must: what comes from there is unpacked and run.
bool IsHttpsAddress(const std::string& url);

// Whether text is a SHA-256 digest: 64 hexadecimal digits, in either case.
bool IsSha256Text(const std::string& text);

// The list compiled into the launcher, the last resort when none can be fetched or was cached.
const std::string& BuiltinToolListText();

}  // namespace launcher
