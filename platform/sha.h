#pragma once
// SHA-1 and SHA-256 (FIPS 180-4), rendered as lower-case hexadecimal text.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace launcher {

struct Sha1Context {
    std::uint32_t h[5];
    std::uint8_t block[64];
    std::uint64_t count;  // bytes fed so far; count % 64 of them wait in block
};

struct Sha256Context {
    std::uint32_t h[8];
    std::uint8_t block[64];
    std::uint64_t count;
};

void Sha1Init(Sha1Context& context);
void Sha1Update(Sha1Context& context, const void* bytes, std::size_t count);
std::string Sha1Final(Sha1Context& context);

void Sha256Init(Sha256Context& context);
void Sha256Update(Sha256Context& context, const void* bytes, std::size_t count);
std::string Sha256Final(Sha256Context& context);

// Each word as eight lower-case hexadecimal digits, most significant first.
std::string ToHex(const std::uint32_t* words, std::size_t count);

// The SHA-256 of a file's bytes, or "" when it cannot be opened.
std::string Sha256File(const std::filesystem::path& file);

// The block functions the digests run on: "portable" everywhere, and "x86-sha" where the processor
// has the SHA extensions. The fastest one there is is chosen at start.
std::vector<std::string> AvailableShaKernels();
bool UseShaKernel(const std::string& name);
std::string ActiveShaKernel();

}  // namespace launcher
