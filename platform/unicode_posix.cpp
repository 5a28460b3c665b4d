#include "platform/unicode.h"

#include <algorithm>
#include <cstdint>

namespace platform {
namespace {

struct CodePointRange {
    char32_t first;
    char32_t last;
};

struct Decomposition {
    char32_t code;
    std::uint16_t start;
    std::uint16_t length;
};

struct Composition {
    char32_t first;
    char32_t second;
    char32_t composite;
};

struct CombiningMark {
    char32_t code;
    std::uint8_t order;
};

// What NormalizeString knows, asked of it under Wine (tools/nfc/), Hangul left out.
#include "platform/nfc_table.inc"

// Hangul syllables are composed of their jamo by arithmetic, as Unicode defines them.
constexpr char32_t kSyllableBase = 0xAC00;
constexpr char32_t kLeadingBase = 0x1100;
constexpr char32_t kVowelBase = 0x1161;
constexpr char32_t kTrailingBase = 0x11A7;
constexpr char32_t kLeadingCount = 19;
constexpr char32_t kVowelCount = 21;
constexpr char32_t kTrailingCount = 28;
constexpr char32_t kSyllableCount = kLeadingCount * kVowelCount * kTrailingCount;

// Strict UTF-8, as Windows' MultiByteToWideChar(MB_ERR_INVALID_CHARS) reads it: false for
// an overlong form, a surrogate, a value above U+10FFFF or a sequence cut short.
bool decodeUtf8(const std::string& utf8, std::u32string& text) {
    const auto* next = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* const end = next + utf8.size();
    while (next < end) {
        const unsigned char lead = *next++;
        int following;
        char32_t c;
        if (lead < 0x80) {
            text += lead;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            following = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            following = 2;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            following = 3;
            c = lead & 0x07;
        } else {
            return false;
        }
        if (end - next < following) {
            return false;
        }
        for (int i = 0; i < following; ++i) {
            if ((*next & 0xC0) != 0x80) {
                return false;
            }
            c = c << 6 | (*next++ & 0x3F);
        }
        if ((following == 2 && c < 0x800) || (following == 3 && (c < 0x10000 || c > 0x10FFFF)) ||
            (c >= 0xD800 && c < 0xE000)) {
            return false;
        }
        text += c;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isRefused(char32_t c) {
    const auto* range =
        std::upper_bound(std::begin(kRefused), std::end(kRefused), c,
                         [](char32_t code, const CodePointRange& r) { return code < r.first; });
    return range != std::begin(kRefused) && c <= (range - 1)->last;
}

// The rank of the character's canonical combining class; 0 for class 0.
std::uint8_t orderOf(char32_t c) {
    const auto* mark =
        std::lower_bound(std::begin(kMarks), std::end(kMarks), c,
                         [](const CombiningMark& m, char32_t code) { return m.code < code; });
    return mark != std::end(kMarks) && mark->code == c ? mark->order : 0;
}

void appendDecomposed(std::u32string& out, char32_t c) {
    if (c >= kSyllableBase && c < kSyllableBase + kSyllableCount) {
        const char32_t index = c - kSyllableBase;
        out += kLeadingBase + index / (kVowelCount * kTrailingCount);
        out += kVowelBase + index % (kVowelCount * kTrailingCount) / kTrailingCount;
        if (index % kTrailingCount != 0) {
            out += kTrailingBase + index % kTrailingCount;
        }
        return;
    }
    const auto* decomposition =
        std::lower_bound(std::begin(kDecompositions), std::end(kDecompositions), c,
                         [](const Decomposition& d, char32_t code) { return d.code < code; });
    if (decomposition != std::end(kDecompositions) && decomposition->code == c) {
        out.append(kDecompositionParts + decomposition->start, decomposition->length);
    } else {
        out += c;
    }
}

// The primary composite of `first` followed by `second`, or 0 when there is none.
char32_t composite(char32_t first, char32_t second) {
    if (first >= kLeadingBase && first < kLeadingBase + kLeadingCount && second >= kVowelBase &&
        second < kVowelBase + kVowelCount) {
        return kSyllableBase +
               ((first - kLeadingBase) * kVowelCount + (second - kVowelBase)) * kTrailingCount;
    }
    if (first >= kSyllableBase && first < kSyllableBase + kSyllableCount &&
        (first - kSyllableBase) % kTrailingCount == 0 && second > kTrailingBase &&
        second < kTrailingBase + kTrailingCount) {
        return first + (second - kTrailingBase);
    }
    const auto* composition = std::lower_bound(
        std::begin(kCompositions), std::end(kCompositions), std::make_pair(first, second),
        [](const Composition& c, const std::pair<char32_t, char32_t>& pair) {
            return c.first != pair.first ? c.first < pair.first : c.second < pair.second;
        });
    if (composition != std::end(kCompositions) && composition->first == first &&
        composition->second == second) {
        return composition->composite;
    }
    return 0;
}

}  // namespace

std::string composeNfc(const std::string& utf8) {
    std::u32string text;
    if (!decodeUtf8(utf8, text) || std::any_of(text.begin(), text.end(), isRefused)) {
        return utf8;
    }

    std::u32string decomposed;
    for (const char32_t c : text) {
        appendDecomposed(decomposed, c);
    }
    // Canonical ordering: each run of combining marks sorted by class, stably.
    for (std::size_t i = 1; i < decomposed.size(); ++i) {
        const char32_t c = decomposed[i];
        const std::uint8_t order = orderOf(c);
        std::size_t j = i;
        while (order != 0 && j > 0 && orderOf(decomposed[j - 1]) > order) {
            decomposed[j] = decomposed[j - 1];
            --j;
        }
        decomposed[j] = c;
    }

    // Canonical composition: each character joins the last character of class 0 before it
    // unless a character between them has class 0 or a class not below its own.
    std::u32string composed;
    std::size_t starter = std::u32string::npos;
    std::uint8_t previousOrder = 0;
    for (const char32_t c : decomposed) {
        const std::uint8_t order = orderOf(c);
        if (starter != std::u32string::npos) {
            const bool adjacent = composed.size() == starter + 1;
            if (adjacent || (previousOrder != 0 && previousOrder < order)) {
                const char32_t joined = composite(composed[starter], c);
                if (joined != 0) {
                    composed[starter] = joined;
                    continue;
                }
            }
        }
        if (order == 0) {
            starter = composed.size();
        }
        previousOrder = order;
        composed += c;
    }

    std::string result;
    result.reserve(utf8.size());
    for (const char32_t c : composed) {
        appendUtf8(result, c);
    }
    return result;
}

}  // namespace platform
