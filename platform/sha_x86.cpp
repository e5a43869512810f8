// The digests' block functions on the x86 SHA extensions, compiled for them function by function
// and called only where the processor has them.
#include <cpuid.h>
#include <immintrin.h>

#include "platform/sha_kernels.h"

#define SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))

namespace launcher::sha {

#define LOAD(i) _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * (i))), byteSwap)

bool X86ShaAvailable() {
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    const bool ssse3 = (ecx & bit_SSSE3) != 0, sse41 = (ecx & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
    return ssse3 && sse41 && (ebx & bit_SHA) != 0;
}

// Four rounds of SHA-1. The message words rotate through m0..m3 and the E value through e0/e1;
// the schedule work for words no later round needs is done anyway, as it costs nothing to skip.
#define SHA1_ROUNDS4(ecur, eother, c, n, p, x, f) \
    ecur = _mm_sha1nexte_epu32(ecur, c);          \
    eother = abcd;                                \
    n = _mm_sha1msg2_epu32(n, c);                 \
    abcd = _mm_sha1rnds4_epu32(abcd, ecur, f);    \
    p = _mm_sha1msg1_epu32(p, c);                 \
    x = _mm_xor_si128(x, c);

SHA_TARGET void Sha1BlocksX86(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607ll, 0x08090a0b0c0d0e0fll);
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    __m128i e1 = _mm_setzero_si128();
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abcdSaved = abcd, e0Saved = e0;
        __m128i m0 = LOAD(0), m1 = _mm_setzero_si128(), m2 = _mm_setzero_si128(), m3 = _mm_setzero_si128();
        e0 = _mm_add_epi32(e0, m0);
        e1 = abcd;
        abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);
        m1 = LOAD(1);
        SHA1_ROUNDS4(e1, e0, m1, m2, m0, m3, 0)
        m2 = LOAD(2);
        SHA1_ROUNDS4(e0, e1, m2, m3, m1, m0, 0)
        m3 = LOAD(3);
        SHA1_ROUNDS4(e1, e0, m3, m0, m2, m1, 0)
        SHA1_ROUNDS4(e0, e1, m0, m1, m3, m2, 0)
        SHA1_ROUNDS4(e1, e0, m1, m2, m0, m3, 1)
        SHA1_ROUNDS4(e0, e1, m2, m3, m1, m0, 1)
        SHA1_ROUNDS4(e1, e0, m3, m0, m2, m1, 1)
        SHA1_ROUNDS4(e0, e1, m0, m1, m3, m2, 1)
        SHA1_ROUNDS4(e1, e0, m1, m2, m0, m3, 1)
        SHA1_ROUNDS4(e0, e1, m2, m3, m1, m0, 2)
        SHA1_ROUNDS4(e1, e0, m3, m0, m2, m1, 2)
        SHA1_ROUNDS4(e0, e1, m0, m1, m3, m2, 2)
        SHA1_ROUNDS4(e1, e0, m1, m2, m0, m3, 2)
        SHA1_ROUNDS4(e0, e1, m2, m3, m1, m0, 2)
        SHA1_ROUNDS4(e1, e0, m3, m0, m2, m1, 3)
        SHA1_ROUNDS4(e0, e1, m0, m1, m3, m2, 3)
        SHA1_ROUNDS4(e1, e0, m1, m2, m0, m3, 3)
        SHA1_ROUNDS4(e0, e1, m2, m3, m1, m0, 3)
        SHA1_ROUNDS4(e1, e0, m3, m0, m2, m1, 3)
        e0 = _mm_sha1nexte_epu32(e0, e0Saved);
        abcd = _mm_add_epi32(abcd, abcdSaved);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

// Four rounds of SHA-256 on message words c, extending the schedule into n and p.
#define SHA256_ROUNDS4(g, c, n, p)                                                                           \
    {                                                                                                        \
        __m128i k = _mm_add_epi32(c, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256K + 4 * (g)))); \
        cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);                                                         \
        n = _mm_sha256msg2_epu32(_mm_add_epi32(n, _mm_alignr_epi8(c, p, 4)), c);                             \
        k = _mm_shuffle_epi32(k, 0x0E);                                                                      \
        abef = _mm_sha256rnds2_epu32(abef, cdgh, k);                                                         \
        p = _mm_sha256msg1_epu32(p, c);                                                                      \
    }

SHA_TARGET void Sha256BlocksX86(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bll, 0x0405060700010203ll);
    const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(dcba, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, dcba, 0xF0);
    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefSaved = abef, cdghSaved = cdgh;
        __m128i m0 = LOAD(0), m1 = _mm_setzero_si128(), m2 = _mm_setzero_si128(), m3 = _mm_setzero_si128();
        SHA256_ROUNDS4(0, m0, m1, m3)
        m1 = LOAD(1);
        SHA256_ROUNDS4(1, m1, m2, m0)
        m2 = LOAD(2);
        SHA256_ROUNDS4(2, m2, m3, m1)
        m3 = LOAD(3);
        SHA256_ROUNDS4(3, m3, m0, m2)
        for (int g = 4; g < 16; g += 4) {
            SHA256_ROUNDS4(g, m0, m1, m3)
            SHA256_ROUNDS4(g + 1, m1, m2, m0)
            SHA256_ROUNDS4(g + 2, m2, m3, m1)
            SHA256_ROUNDS4(g + 3, m3, m0, m2)
        }
        abef = _mm_add_epi32(abef, abefSaved);
        cdgh = _mm_add_epi32(cdgh, cdghSaved);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace launcher::sha
