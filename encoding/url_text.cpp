#include "encoding/url_text.h"

#include <cstring>

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#define BUNKAI_URL_SSE2 1
#endif

namespace {

// The value of each byte as a hexadecimal digit, -1 for any other byte.
struct HexDigits {
    signed char value[256];
    constexpr HexDigits() : value() {
        for (int c = 0; c < 256; ++c) {
            value[c] = c >= '0' && c <= '9'   ? static_cast<signed char>(c - '0')
                       : c >= 'A' && c <= 'F' ? static_cast<signed char>(c - 'A' + 10)
                       : c >= 'a' && c <= 'f' ? static_cast<signed char>(c - 'a' + 10)
                                              : -1;
        }
    }
};

constexpr HexDigits kHexDigits;

int hexValue(char c) {
    return kHexDigits.value[static_cast<unsigned char>(c)];
}

}  // namespace

int urlDecode(std::string& text) {
    const std::size_t percent = text.find('%');
    if (percent == std::string::npos) {
        return 0;
    }
    // Into a buffer kept from call to call, which then trades places with the text (decoding
    // only shortens it): a name in Japanese is almost all escapes, three to a character, and
    // neither a call per escape nor a fresh string per name is cheap beside the decoding.
    static std::string decoded;
    decoded.resize(text.size());
    const char* in = text.data();
    const std::size_t size = text.size();
    char* out = &decoded[0];
    std::memcpy(out, in, percent);
    std::size_t written = percent;
    for (std::size_t at = percent; at < size;) {
        if (in[at] == '%') {
            if (at + 2 >= size) {
                return -1;
            }
            const int high = hexValue(in[at + 1]);
            const int low = hexValue(in[at + 2]);
            if (high < 0 || low < 0) {
                return -1;
            }
            const char byte = static_cast<char>(high * 16 + low);
            if (byte == '\0') {
                decoded.resize(written);
                text.swap(decoded);
                return -1;
            }
            out[written++] = byte;
            at += 3;
            continue;
        }
#ifdef BUNKAI_URL_SSE2
        // The bytes up to the next "%" are copied sixteen at a time where sixteen are left.
        // Nothing decoded yet lies ahead of `at`, so the store stays within the buffer.
        if (at + 16 <= size) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + written), bytes);
            const unsigned escapes = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('%'))));
            const std::size_t plain =
                escapes == 0 ? 16 : static_cast<std::size_t>(__builtin_ctz(escapes));
            written += plain;
            at += plain;
            continue;
        }
#endif
        out[written++] = in[at++];
    }
    decoded.resize(written);
    text.swap(decoded);
    return 0;
}
