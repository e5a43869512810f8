#include "platform/sha.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>

#include "platform/sha_kernels.h"

namespace launcher {
namespace sha {

const std::uint32_t kSha256K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

namespace {

inline std::uint32_t Rotl(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }
inline std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline std::uint32_t BigEndian(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

void Sha1BlocksPortable(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        std::uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = BigEndian(data + 4 * i);
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
        // The schedule lives in a ring of 16 words; the rotation by one is what makes it SHA-1.
#define SHA1_W(t)         \
    ((t) < 16 ? w[(t)&15] \
              : (w[(t)&15] = Rotl(w[((t) + 13) & 15] ^ w[((t) + 8) & 15] ^ w[((t) + 2) & 15] ^ w[(t)&15], 1)))
#define SHA1_STEP(t, f, k)                                              \
    {                                                                   \
        const std::uint32_t x = Rotl(a, 5) + (f) + e + (k) + SHA1_W(t); \
        e = d;                                                          \
        d = c;                                                          \
        c = Rotl(b, 30);                                                \
        b = a;                                                          \
        a = x;                                                          \
    }
#define SHA1_STEP4(t, f, k) SHA1_STEP(t, f, k) SHA1_STEP(t + 1, f, k) SHA1_STEP(t + 2, f, k) SHA1_STEP(t + 3, f, k)
#define SHA1_STEP20(t, f, k) \
    SHA1_STEP4(t, f, k)      \
    SHA1_STEP4(t + 4, f, k) SHA1_STEP4(t + 8, f, k) SHA1_STEP4(t + 12, f, k) SHA1_STEP4(t + 16, f, k)
        SHA1_STEP20(0, (d ^ (b & (c ^ d))), 0x5a827999)
        SHA1_STEP20(20, (b ^ c ^ d), 0x6ed9eba1)
        SHA1_STEP20(40, ((b & c) | (d & (b | c))), 0x8f1bbcdc)
        SHA1_STEP20(60, (b ^ c ^ d), 0xca62c1d6)
#undef SHA1_STEP20
#undef SHA1_STEP4
#undef SHA1_STEP
#undef SHA1_W
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
    }
}

void Sha256BlocksPortable(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks) {
    for (; blocks > 0; --blocks, data += 64) {
        std::uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = BigEndian(data + 4 * i);
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
        // Maj(a, b, c) = b ^ ((a ^ b) & (b ^ c)), and this round's b ^ c is the last round's a ^ b.
        std::uint32_t ab = 0, bc = b ^ c;
#define SHA256_S0(x) (Rotr(x, 7) ^ Rotr(x, 18) ^ ((x) >> 3))
#define SHA256_S1(x) (Rotr(x, 17) ^ Rotr(x, 19) ^ ((x) >> 10))
#define SHA256_W(t)       \
    ((t) < 16 ? w[(t)&15] \
              : (w[(t)&15] += SHA256_S1(w[((t) + 14) & 15]) + w[((t) + 9) & 15] + SHA256_S0(w[((t) + 1) & 15])))
// The words keep their places and the names turn instead. The sum that does not wait for e is
// made first, so that only the functions of e and a stand on the chain from round to round.
#define SHA256_ROUND(a, b, c, d, e, f, g, h, t)                                  \
    {                                                                            \
        h += kSha256K[(t)] + SHA256_W(t);                                        \
        h += (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + (g ^ (e & (f ^ g)));     \
        d += h;                                                                  \
        ab = a ^ b;                                                              \
        h += (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + (b ^ (ab & bc));         \
        bc = ab;                                                                 \
    }
#define SHA256_ROUND8(t)                       \
    SHA256_ROUND(a, b, c, d, e, f, g, h, t)     \
    SHA256_ROUND(h, a, b, c, d, e, f, g, t + 1) \
    SHA256_ROUND(g, h, a, b, c, d, e, f, t + 2) \
    SHA256_ROUND(f, g, h, a, b, c, d, e, t + 3) \
    SHA256_ROUND(e, f, g, h, a, b, c, d, t + 4) \
    SHA256_ROUND(d, e, f, g, h, a, b, c, t + 5) \
    SHA256_ROUND(c, d, e, f, g, h, a, b, t + 6) \
    SHA256_ROUND(b, c, d, e, f, g, h, a, t + 7)
        SHA256_ROUND8(0)
        SHA256_ROUND8(8)
        SHA256_ROUND8(16)
        SHA256_ROUND8(24)
        SHA256_ROUND8(32)
        SHA256_ROUND8(40)
        SHA256_ROUND8(48)
        SHA256_ROUND8(56)
#undef SHA256_ROUND8
#undef SHA256_ROUND
#undef SHA256_W
#undef SHA256_S1
#undef SHA256_S0
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
        state[4] += e;
        state[5] += f;
        state[6] += g;
        state[7] += h;
    }
}

}  // namespace sha

namespace {

struct Kernel {
    const char* name;
    sha::BlockFunction sha1;
    sha::BlockFunction sha256;
};

constexpr Kernel kPortable{"portable", sha::Sha1BlocksPortable, sha::Sha256BlocksPortable};
constexpr Kernel kX86{"x86-sha", sha::Sha1BlocksX86, sha::Sha256BlocksX86};

const Kernel* Fastest() { return sha::X86ShaAvailable() ? &kX86 : &kPortable; }

// Chosen on first use, so that no other static initialiser can find it unset.
std::atomic<const Kernel*>& ActiveKernel() {
    static std::atomic<const Kernel*> kernel{Fastest()};
    return kernel;
}

// Feeds bytes: whole blocks straight from the input, the rest through the context's block.
template <typename Context>
void Update(Context& context, const void* bytes, std::size_t count, sha::BlockFunction blocks) {
    const auto* in = static_cast<const std::uint8_t*>(bytes);
    std::size_t used = context.count % 64;
    context.count += count;
    if (used > 0) {
        const std::size_t take = std::min(count, 64 - used);
        std::memcpy(context.block + used, in, take);
        in += take;
        count -= take;
        if (used + take < 64) return;
        blocks(context.h, context.block, 1);
    }
    if (count >= 64) {
        blocks(context.h, in, count / 64);
        in += count / 64 * 64;
        count %= 64;
    }
    if (count > 0) std::memcpy(context.block, in, count);
}

template <typename Context, typename UpdateFunction>
void FeedTail(Context& context, UpdateFunction update) {
    const std::uint64_t bits = context.count * 8;
    std::uint8_t tail[72] = {0x80};
    const std::size_t used = context.count % 64;
    const std::size_t padding = used < 56 ? 56 - used : 120 - used;
    for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    update(context, tail, padding + 8);
}

}  // namespace

void Sha1Init(Sha1Context& context) {
    static constexpr std::uint32_t kInit[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
    std::memcpy(context.h, kInit, sizeof kInit);
    context.count = 0;
}

void Sha1Update(Sha1Context& context, const void* bytes, std::size_t count) {
    Update(context, bytes, count, ActiveKernel().load(std::memory_order_relaxed)->sha1);
}

std::string Sha1Final(Sha1Context& context) {
    FeedTail(context, Sha1Update);
    return ToHex(context.h, 5);
}

void Sha256Init(Sha256Context& context) {
    static constexpr std::uint32_t kInit[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::memcpy(context.h, kInit, sizeof kInit);
    context.count = 0;
}

void Sha256Update(Sha256Context& context, const void* bytes, std::size_t count) {
    Update(context, bytes, count, ActiveKernel().load(std::memory_order_relaxed)->sha256);
}

std::string Sha256Final(Sha256Context& context) {
    FeedTail(context, Sha256Update);
    return ToHex(context.h, 8);
}

std::string ToHex(const std::uint32_t* words, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text(count * 8, '0');
    for (std::size_t i = 0; i < count; ++i) {
        for (int digit = 0; digit < 8; ++digit) text[i * 8 + digit] = kDigits[(words[i] >> (28 - 4 * digit)) & 15];
    }
    return text;
}

std::string Sha256File(const std::filesystem::path& file) {
    // A folder opens as a stream on some systems, and reads as nothing.
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) return "";
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) return "";
    Sha256Context context;
    Sha256Init(context);
    constexpr std::size_t kBuffer = 1 << 20;
    const std::unique_ptr<char[]> buffer(new char[kBuffer]);
    // The last read comes up short and sets failbit: what it read still counts.
    while (in) {
        in.read(buffer.get(), kBuffer);
        Sha256Update(context, buffer.get(), static_cast<std::size_t>(in.gcount()));
    }
    return Sha256Final(context);
}

std::vector<std::string> AvailableShaKernels() {
    std::vector<std::string> names{kPortable.name};
    if (sha::X86ShaAvailable()) names.push_back(kX86.name);
    return names;
}

bool UseShaKernel(const std::string& name) {
    if (name == kPortable.name) {
        ActiveKernel() = &kPortable;
        return true;
    }
    if (name == kX86.name && sha::X86ShaAvailable()) {
        ActiveKernel() = &kX86;
        return true;
    }
    return false;
}

std::string ActiveShaKernel() { return ActiveKernel().load()->name; }

}  // namespace launcher
