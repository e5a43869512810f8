// The size of the build files that a source build leaves in BASE/source/out, printed in bytes, for
// bench/run.sh to time against du:
//   disk_use_bench BASE               by Builder::BuildFilesSize
//   disk_use_bench --walk-tree BASE   by WalkTree and a size query per file, for comparison
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "builder/builder.h"
#include "platform/file_tree.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace {

std::uint64_t WalkTreeSize(const fs::path& folder) {
    std::uint64_t total = 0;
    std::error_code ec;
    launcher::WalkTree(
        folder,
        [&total](const fs::path& path, launcher::EntryKind kind) {
            std::error_code sizeError;
            if (kind != launcher::EntryKind::File) return;
            const std::uintmax_t size = fs::file_size(path, sizeError);
            if (!sizeError) total += size;
        },
        ec);
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    const bool walkTree = argc == 3 && std::strcmp(argv[1], "--walk-tree") == 0;
    if (argc != 2 && !walkTree) {
        std::fprintf(stderr, "usage: disk_use_bench [--walk-tree] BASE\n");
        return 2;
    }
    const fs::path base = launcher::Utf8Path(argv[argc - 1]);
    std::uint64_t bytes = 0;
    if (walkTree) {
        bytes = WalkTreeSize(base / "source" / "out");
    } else {
        const std::unique_ptr<launcher::Platform> platform = launcher::MakePlatform();
        const launcher::Builder builder(launcher::Game{}, base, nullptr, platform.get());
        bytes = builder.BuildFilesSize();
    }
    std::printf("%llu\n", static_cast<unsigned long long>(bytes));
    return 0;
}
