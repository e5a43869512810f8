// Downloads one address to a file with the launcher's client and prints the seconds it took:
//   download_bench URL FILE
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "platform/download.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_bench URL FILE\n");
        return 2;
    }
    const std::filesystem::path file = launcher::Utf8Path(argv[2]);
    std::error_code ec;
    std::filesystem::remove(file, ec);
    const std::unique_ptr<launcher::Http> http = launcher::MakeHttp();
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    if (!launcher::Download(*http, argv[1], file, "", 0, {}, nullptr, error)) {
        std::fprintf(stderr, "download failed: %s\n", error.c_str());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f\n", seconds);
    return 0;
}
