#pragma once
// The tool list: the outside tools a build from source needs.

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
};

struct Toolchain {
    std::vector<Tool> tools;  // in list order
    std::string sdkVersion;
};

}  // namespace launcher
