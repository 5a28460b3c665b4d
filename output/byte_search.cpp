#include "output/byte_search.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define BUNKAI_BYTE_SEARCH_SSE2 1
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define BUNKAI_BYTE_SEARCH_AVX2 1
#endif

namespace {

#ifdef BUNKAI_BYTE_SEARCH_AVX2
// Sixty-four positions at a time on processors that have AVX2 (most since 2013), which
// lets the scan of a music file without a picture keep up with reading it. Moves `from` to
// the first position that holds either pair and returns true, or to where the search
// stopped short of the end (fewer than 65 bytes from it) and returns false.
__attribute__((target("avx2"))) bool findEitherAvx2(const unsigned char* data, std::size_t& from,
                                                    std::size_t limit, std::size_t size,
                                                    unsigned char firstA, unsigned char secondA,
                                                    unsigned char firstB, unsigned char secondB,
                                                    unsigned char secondMaskB) {
    const __m256i firstsA = _mm256_set1_epi8(static_cast<char>(firstA));
    const __m256i secondsA = _mm256_set1_epi8(static_cast<char>(secondA));
    const __m256i firstsB = _mm256_set1_epi8(static_cast<char>(firstB));
    const __m256i secondsB = _mm256_set1_epi8(static_cast<char>(secondB));
    const __m256i maskB = _mm256_set1_epi8(static_cast<char>(secondMaskB));
    while (from + 64 <= limit && from + 65 <= size) {
        __m256i low;
        __m256i high;
        {
            const __m256i here = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + from));
            const __m256i next =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + from + 1));
            low = _mm256_or_si256(
                _mm256_and_si256(_mm256_cmpeq_epi8(here, firstsA),
                                 _mm256_cmpeq_epi8(next, secondsA)),
                _mm256_and_si256(_mm256_cmpeq_epi8(here, firstsB),
                                 _mm256_cmpeq_epi8(_mm256_and_si256(next, maskB), secondsB)));
        }
        {
            const __m256i here =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + from + 32));
            const __m256i next =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + from + 33));
            high = _mm256_or_si256(
                _mm256_and_si256(_mm256_cmpeq_epi8(here, firstsA),
                                 _mm256_cmpeq_epi8(next, secondsA)),
                _mm256_and_si256(_mm256_cmpeq_epi8(here, firstsB),
                                 _mm256_cmpeq_epi8(_mm256_and_si256(next, maskB), secondsB)));
        }
        if (!_mm256_testz_si256(_mm256_or_si256(low, high), _mm256_or_si256(low, high))) {
            const unsigned lowBits = static_cast<unsigned>(_mm256_movemask_epi8(low));
            const unsigned highBits = static_cast<unsigned>(_mm256_movemask_epi8(high));
            from += lowBits != 0 ? __builtin_ctz(lowBits) : 32 + __builtin_ctz(highBits);
            return true;
        }
        from += 64;
    }
    return false;
}

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

}  // namespace

std::size_t findBytePair(const unsigned char* data, std::size_t from, std::size_t limit,
                         std::size_t size, unsigned char first, unsigned char second,
                         unsigned char secondMask) {
    if ((second & secondMask) != second) {
        return limit;
    }
    // The same pair twice: every match of the first (exact) pair is one of the second.
    return findEitherBytePair(data, from, limit, size, first, second, first, second, secondMask);
}

std::size_t findEitherBytePair(const unsigned char* data, std::size_t from, std::size_t limit,
                               std::size_t size, unsigned char firstA, unsigned char secondA,
                               unsigned char firstB, unsigned char secondB,
                               unsigned char secondMaskB) {
#ifdef BUNKAI_BYTE_SEARCH_AVX2
    if (haveAvx2() &&
        findEitherAvx2(data, from, limit, size, firstA, secondA, firstB, secondB, secondMaskB)) {
        return from;
    }
#endif
#ifdef BUNKAI_BYTE_SEARCH_SSE2
    // Sixteen positions at a time: both bytes of a pair must match, which in audio data
    // happens once in tens of kilobytes, where a search for the first byte alone stops
    // every few hundred bytes.
    const __m128i firstsA = _mm_set1_epi8(static_cast<char>(firstA));
    const __m128i secondsA = _mm_set1_epi8(static_cast<char>(secondA));
    const __m128i firstsB = _mm_set1_epi8(static_cast<char>(firstB));
    const __m128i secondsB = _mm_set1_epi8(static_cast<char>(secondB));
    const __m128i maskB = _mm_set1_epi8(static_cast<char>(secondMaskB));
    while (from + 16 <= limit && from + 17 <= size) {
        __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from));
        __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + from + 1));
        __m128i a = _mm_and_si128(_mm_cmpeq_epi8(here, firstsA), _mm_cmpeq_epi8(next, secondsA));
        __m128i b = _mm_and_si128(_mm_cmpeq_epi8(here, firstsB),
                                  _mm_cmpeq_epi8(_mm_and_si128(next, maskB), secondsB));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(a, b)));
        if (bits != 0) {
            unsigned offset = 0;
            while (!(bits & 1u)) {
                bits >>= 1;
                ++offset;
            }
            return from + offset;
        }
        from += 16;
    }
#endif
    for (; from < limit; ++from) {
        if (from + 1 >= size) {
            return limit;
        }
        const unsigned char here = data[from];
        const unsigned char next = data[from + 1];
        if ((here == firstA && next == secondA) ||
            (here == firstB && (next & secondMaskB) == secondB)) {
            return from;
        }
    }
    return limit;
}
