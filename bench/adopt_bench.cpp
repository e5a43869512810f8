// Adopts a disc image by a copy, as where no hard link can be made (another volume, FAT32): the
// Builder's own copy, refused the hard link. bench/run.sh times it together with the sync after it.
//   adopt_bench IMAGE BASE_FOLDER
#include <cstdio>
#include <filesystem>

#include "builder/builder.h"
#include "game/identify.h"
#include "platform/text.h"
#include "tests/support/forwarding_platform.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: adopt_bench IMAGE BASE_FOLDER\n");
        return 2;
    }
    launcher::test::ForwardingPlatform platform;
    platform.refuseHardLink = true;
    launcher::Builder builder(launcher::Game{}, launcher::Utf8Path(argv[2]), nullptr, &platform);
    launcher::GameSource chosen;
    chosen.ok = true;
    chosen.isImage = true;
    chosen.source = launcher::Utf8Path(argv[1]);
    chosen.region = "Europe";
    chosen.sha1 = std::string(40, '0');
    std::string error;
    if (!builder.AdoptGame(chosen, error)) {
        std::fprintf(stderr, "adoption failed: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
