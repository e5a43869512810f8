#include "tests/builder/zip_fixture.h"

#include <algorithm>
#include <cstdio>

#include "platform/file_tree.h"
#include "platform/text.h"
#include "tests/support/test_paths.h"

namespace fs = std::filesystem;

namespace launcher::test {

fs::path ZipFixture(const std::string& name) { return PathFromEnvironment("LAUNCHER_ZIP_FIXTURE") / name; }

fs::path UnsafeArchive(const std::string& entry) {
    std::string hex;
    for (unsigned char c : entry) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", c);
        hex += digits;
    }
    return ZipFixture("unsafe") / (hex + ".zip");
}

std::vector<std::string> TreeOf(const fs::path& root) {
    std::vector<std::string> names;
    std::error_code ec;
    WalkTree(
        root,
        [&](const fs::path& path, EntryKind kind) {
            std::string name = PathToUtf8(path.lexically_relative(root));
            std::replace(name.begin(), name.end(), '\\', '/');
            names.push_back(kind == EntryKind::Folder ? name + "/" : name);
        },
        ec);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace launcher::test
