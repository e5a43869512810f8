// One extraction of a tar.xz archive with ExtractTarXz, for bench/run.sh to time against tar:
//   tarxz_bench ARCHIVE DESTINATION
#include <cstdio>

#include "builder/tar_xz_extract.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarxz_bench ARCHIVE DESTINATION\n");
        return 2;
    }
    std::string error;
    if (!launcher::ExtractTarXz(launcher::Utf8Path(argv[1]), launcher::Utf8Path(argv[2]), {}, {}, nullptr, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
