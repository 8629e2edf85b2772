#include "find/byte_filter.h"

#include <immintrin.h>

#include <cstring>

namespace {

// Candidates are positions whose first and last needle bytes both match:
// random data leaves about one in 65536, each checked here.
inline const uint8_t* check(const uint8_t* p, uint32_t mask, const uint8_t* needle, size_t n) {
    for (; mask; mask &= mask - 1) {
        const int bit = __builtin_ctz(mask);
        if (std::memcmp(p + bit + 1, needle + 1, n - 2) == 0) return p + bit;
    }
    return nullptr;
}

// The last start position at which a whole vector of candidates still fits.
inline const uint8_t* vector_stop(const uint8_t* p, const uint8_t* end, size_t n, size_t width) {
    const size_t starts = size_t(end - p) - n + 1;
    return p + starts / width * width;
}

// Bytes where the needle's first byte is, and its last byte n - 1 further.
__attribute__((target("avx2"))) inline __m256i matches(const uint8_t* at, size_t n, __m256i first, __m256i last) {
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + n - 1));
    return _mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last));
}

__attribute__((target("avx2"))) const uint8_t* find_avx2(const uint8_t* p, const uint8_t* end, const uint8_t* needle,
                                                           size_t n) {
    const __m256i first = _mm256_set1_epi8(char(needle[0]));
    const __m256i last = _mm256_set1_epi8(char(needle[n - 1]));
    // Four vectors a turn, tested together: candidates are rare.
    for (const uint8_t* stop = vector_stop(p, end, n, 128); p < stop; p += 128) {
        const __m256i m0 = matches(p, n, first, last), m1 = matches(p + 32, n, first, last), m2 = matches(p + 64, n, first, last), m3 = matches(p + 96, n, first, last);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(m0, m1), _mm256_or_si256(m2, m3));
        if (_mm256_testz_si256(any, any)) continue;
        const __m256i masks[4] = {m0, m1, m2, m3};
        for (int i = 0; i < 4; ++i) {
            const uint32_t mask = uint32_t(_mm256_movemask_epi8(masks[i]));
            if (const uint8_t* found = mask ? check(p + 32 * i, mask, needle, n) : nullptr) return found;
        }
    }
    return static_cast<const uint8_t*>(memmem(p, size_t(end - p), needle, n));
}

const uint8_t* find_sse2(const uint8_t* p, const uint8_t* end, const uint8_t* needle, size_t n) {
    const __m128i first = _mm_set1_epi8(char(needle[0]));
    const __m128i last = _mm_set1_epi8(char(needle[n - 1]));
    for (const uint8_t* stop = vector_stop(p, end, n, 16); p < stop; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
        const uint32_t mask = uint32_t(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        if (mask) {
            if (const uint8_t* found = check(p, mask, needle, n)) return found;
        }
    }
    return static_cast<const uint8_t*>(memmem(p, size_t(end - p), needle, n));
}

}  // namespace

const uint8_t* find_bytes(const uint8_t* begin, const uint8_t* end, const uint8_t* needle, size_t n) {
    if (n == 0 || end < begin || size_t(end - begin) < n) return nullptr;
    if (n == 1) return static_cast<const uint8_t*>(std::memchr(begin, needle[0], size_t(end - begin)));
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 ? find_avx2(begin, end, needle, n) : find_sse2(begin, end, needle, n);
}
