// One extraction of a zip archive with ExtractZip, for bench/run.sh to time against other tools:
//   zip_bench ARCHIVE DESTINATION
#include <cstdio>

#include "builder/zip_extract.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: zip_bench ARCHIVE DESTINATION\n");
        return 2;
    }
    std::string error;
    if (!launcher::ExtractZip(launcher::Utf8Path(argv[1]), launcher::Utf8Path(argv[2]), {}, {}, nullptr, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
