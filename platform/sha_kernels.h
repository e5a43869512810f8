#pragma once
// Block functions of the digests: each compresses `blocks` 64-byte blocks into the chaining words.

#include <cstddef>
#include <cstdint>

namespace launcher::sha {

using BlockFunction = void (*)(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks);

void Sha1BlocksPortable(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks);
void Sha256BlocksPortable(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks);

// With the x86 SHA extensions; only to be called where X86ShaAvailable() says so.
bool X86ShaAvailable();
void Sha1BlocksX86(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks);
void Sha256BlocksX86(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks);

extern const std::uint32_t kSha256K[64];

}  // namespace launcher::sha
