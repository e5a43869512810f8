// Hashes one file and prints the digest and the seconds it took:
//   sha_bench sha1|sha256 portable|x86-sha FILE
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "platform/sha.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: sha_bench sha1|sha256 portable|x86-sha FILE\n");
        return 2;
    }
    const std::string digest = argv[1];
    if (!launcher::UseShaKernel(argv[2])) {
        std::fprintf(stderr, "no kernel %s here\n", argv[2]);
        return 2;
    }
    std::ifstream in(argv[3], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot open %s\n", argv[3]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    constexpr std::size_t kBuffer = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kBuffer]);
    launcher::Sha1Context sha1;
    launcher::Sha256Context sha256;
    launcher::Sha1Init(sha1);
    launcher::Sha256Init(sha256);
    while (in) {
        in.read(buffer.get(), kBuffer);
        const auto got = static_cast<std::size_t>(in.gcount());
        if (digest == "sha1") {
            launcher::Sha1Update(sha1, buffer.get(), got);
        } else {
            launcher::Sha256Update(sha256, buffer.get(), got);
        }
    }
    const std::string text = digest == "sha1" ? launcher::Sha1Final(sha1) : launcher::Sha256Final(sha256);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s %.3f\n", text.c_str(), seconds);
    return 0;
}
