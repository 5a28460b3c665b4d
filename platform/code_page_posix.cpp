#include "platform/code_page.h"

#include <cstdint>

namespace platform {
namespace {

// What WideCharToMultiByte(932, 0) gives for each UTF-16 code unit, best-fit choices and
// "?" for lone surrogate halves included. Windows converts a surrogate pair unit by unit
// too, so one look-up per unit reproduces it.
constexpr std::uint16_t kCodePage932[0x10000] = {
#include "platform/cp932_table.inc"
};

constexpr char32_t kSubstitute = 0xFFFD;

void appendUnit(std::string& out, char32_t unit) {
    const std::uint16_t bytes = kCodePage932[unit];
    if (bytes >= 0x100) {
        out.push_back(static_cast<char>(bytes >> 8));
    }
    out.push_back(static_cast<char>(bytes & 0xFF));
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Decodes the character whose lead byte (0x80 or above) was just read and moves `next` past
// the bytes that Windows' decoder takes with it. Ill-formed input follows that decoder's
// rules, found by probing it (under Wine), which differ from the Unicode recommendation:
// - a byte that cannot start a character (80..C1, F5..FF) is one substitute on its own;
// - a lead byte whose announced length runs past the end of the input takes everything
//   that remains, whatever it is, into one substitute;
// - a second byte that is no continuation byte ends the substitute before it;
// - a second byte that is a continuation byte but makes an overlong form, a surrogate or a
//   value above U+10FFFF (E0 80..9F, ED A0..BF, F0 80..8F, F4 90..BF) is taken into the
//   substitute;
// - a later byte that is no continuation byte ends the substitute before it.
char32_t decodeSequence(unsigned char lead, const unsigned char*& next, const unsigned char* end) {
    int following;
    if (lead >= 0xC2 && lead <= 0xDF) {
        following = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        following = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        following = 3;
    } else {
        return kSubstitute;
    }
    if (end - next < following) {
        next = end;
        return kSubstitute;
    }
    if (!isContinuation(*next)) {
        return kSubstitute;
    }
    const unsigned char second = *next++;
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
        (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F)) {
        return kSubstitute;
    }
    char32_t codePoint = (lead & (0x3F >> following)) << 6 | (second & 0x3F);
    for (int i = 1; i < following; ++i) {
        if (!isContinuation(*next)) {
            return kSubstitute;
        }
        codePoint = codePoint << 6 | (*next++ & 0x3F);
    }
    return codePoint;
}

}  // namespace

std::string utf8ToCodePage932(const std::string& utf8) {
    std::string out;
    // Two output bytes only ever come from two or more input bytes: the output is never
    // longer than the input.
    out.reserve(utf8.size());
    const auto* next = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* const end = next + utf8.size();
    while (next < end) {
        const unsigned char lead = *next++;
        if (lead < 0x80) {
            appendUnit(out, lead);
            continue;
        }
        const char32_t codePoint = decodeSequence(lead, next, end);
        if (codePoint < 0x10000) {
            appendUnit(out, codePoint);
        } else {
            appendUnit(out, 0xD800 + ((codePoint - 0x10000) >> 10));
            appendUnit(out, 0xDC00 + (codePoint & 0x3FF));
        }
    }
    return out;
}

}  // namespace platform
