// Writes platform/nfc_table.inc: what builds without Windows need to compose text to
// Unicode Normalization Form C the way Windows' NormalizeString does.
// Everything is asked of NormalizeString itself; Hangul syllables, which it composes by
// arithmetic, are left out. Built with MinGW and run on Windows or under Wine; see
// tools/under_wine.sh.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool isHangulSyllable(char32_t c) {
    return c >= 0xAC00 && c < 0xAC00 + 11172;
}

std::wstring utf16Of(const std::u32string& text) {
    std::wstring wide;
    for (const char32_t c : text) {
        if (c < 0x10000) {
            wide += static_cast<wchar_t>(c);
        } else {
            wide += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
        }
    }
    return wide;
}

std::u32string utf32Of(const std::wstring& wide) {
    std::u32string text;
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char32_t unit = wide[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < wide.size()) {
            text += 0x10000 + ((unit - 0xD800) << 10) + (wide[++i] - 0xDC00);
        } else {
            text += unit;
        }
    }
    return text;
}

// The normal form of `text`; false when NormalizeString refuses it.
bool normalize(NORM_FORM form, const std::u32string& text, std::u32string& result) {
    const std::wstring wide = utf16Of(text);
    wchar_t buffer[64];
    const int length =
        NormalizeString(form, wide.data(), static_cast<int>(wide.size()), buffer, 64);
    if (length <= 0) {
        return false;
    }
    result = utf32Of(std::wstring(buffer, static_cast<std::size_t>(length)));
    return true;
}

std::u32string normalized(NORM_FORM form, const std::u32string& text) {
    std::u32string result;
    if (!normalize(form, text, result)) {
        std::fprintf(stderr, "NormalizeString refuses a text it took before\n");
        std::exit(1);
    }
    return result;
}

struct Composition {
    char32_t first;
    char32_t second;
    char32_t composite;
};

}  // namespace

int main() {
    // The table is checked in with LF line ends, not the CR LF of a text-mode stream.
    _setmode(_fileno(stdout), _O_BINARY);

    std::vector<std::pair<char32_t, char32_t>> refused;
    std::vector<std::pair<char32_t, std::u32string>> decompositions;
    std::vector<char32_t> marks;
    std::vector<Composition> compositions;
    for (char32_t c = 0; c < 0x110000; ++c) {
        if ((c >= 0xD800 && c < 0xE000) || isHangulSyllable(c)) {
            continue;
        }
        std::u32string decomposed;
        if (!normalize(NormalizationD, std::u32string(1, c), decomposed)) {
            if (!refused.empty() && refused.back().second + 1 == c) {
                refused.back().second = c;
            } else {
                refused.emplace_back(c, c);
            }
            continue;
        }
        if (decomposed != std::u32string(1, c)) {
            decompositions.emplace_back(c, decomposed);
            // A primary composite: the form C of its decomposition is itself again, made by
            // composing its last part with the composed rest.
            if (decomposed.size() >= 2 &&
                normalized(NormalizationC, decomposed) == std::u32string(1, c)) {
                const std::u32string first =
                    normalized(NormalizationC, decomposed.substr(0, decomposed.size() - 1));
                const char32_t second = decomposed.back();
                if (first.size() != 1 ||
                    normalized(NormalizationC, {first[0], second}) != std::u32string(1, c)) {
                    std::fprintf(stderr, "U+%04X is no composition of two characters\n",
                                 static_cast<unsigned>(c));
                    return 1;
                }
                compositions.push_back({first[0], second, c});
            }
            continue;
        }
        // Canonical ordering moves a character with a combining class above 1 behind
        // U+0334 (class 1), and one with a class from 1 to 229 in front of U+0301 (230):
        // a character that moves in either test has a class other than 0.
        const bool aboveOne = normalized(NormalizationD, {c, 0x0334}) == std::u32string{0x0334, c};
        const bool belowAcute =
            normalized(NormalizationD, {0x0301, c}) == std::u32string{c, 0x0301};
        if (aboveOne || belowAcute) {
            marks.push_back(c);
        }
    }

    // The ordering of the marks is all that composing needs of their classes: a mark moves
    // in front of another exactly when its class is lower.
    const auto lower = [](char32_t a, char32_t b) {
        return normalized(NormalizationD, {b, a}) == std::u32string{a, b};
    };
    std::stable_sort(marks.begin(), marks.end(), lower);
    std::vector<std::pair<char32_t, int>> orders;
    int order = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (i == 0 || lower(marks[i - 1], marks[i])) {
            ++order;
        }
        orders.emplace_back(marks[i], order);
    }
    std::sort(orders.begin(), orders.end());
    std::sort(compositions.begin(), compositions.end(),
              [](const Composition& a, const Composition& b) {
                  return a.first != b.first ? a.first < b.first : a.second < b.second;
              });

    std::printf(
        "// Generated by tools/under_wine.sh nfc/generate_table.cpp from NormalizeString; do not "
        "edit.\n"
        "// %zu decompositions, %zu compositions, %zu combining marks in %d orders.\n",
        decompositions.size(), compositions.size(), orders.size(), order);
    std::printf(
        "\n// Code points NormalizeString refuses: a text holding one is not composed.\n"
        "constexpr CodePointRange kRefused[] = {\n");
    for (const auto& range : refused) {
        std::printf("    {0x%04X, 0x%04X},\n", static_cast<unsigned>(range.first),
                    static_cast<unsigned>(range.second));
    }
    std::printf(
        "};\n\n// The parts of the canonical decompositions, one after the other.\n"
        "constexpr char32_t kDecompositionParts[] = {\n");
    std::size_t start = 0;
    for (const auto& decomposition : decompositions) {
        std::printf("   ");
        for (const char32_t part : decomposition.second) {
            std::printf(" 0x%04X,", static_cast<unsigned>(part));
        }
        std::printf("\n");
    }
    std::printf(
        "};\n\n// Each character with a canonical decomposition: its parts' place in "
        "kDecompositionParts.\nconstexpr Decomposition kDecompositions[] = {\n");
    for (const auto& decomposition : decompositions) {
        std::printf("    {0x%04X, %zu, %zu},\n", static_cast<unsigned>(decomposition.first), start,
                    decomposition.second.size());
        start += decomposition.second.size();
    }
    std::printf(
        "};\n\n// The primary composites by their two parts.\n"
        "constexpr Composition kCompositions[] = {\n");
    for (const Composition& composition : compositions) {
        std::printf("    {0x%04X, 0x%04X, 0x%04X},\n", static_cast<unsigned>(composition.first),
                    static_cast<unsigned>(composition.second),
                    static_cast<unsigned>(composition.composite));
    }
    std::printf(
        "};\n\n// Every combining mark (canonical combining class other than 0) with the "
        "rank of its\n// class among the classes.\nconstexpr CombiningMark kMarks[] = {\n");
    for (const auto& mark : orders) {
        std::printf("    {0x%04X, %d},\n", static_cast<unsigned>(mark.first), mark.second);
    }
    std::printf("};\n");
    return std::fflush(stdout) == 0 ? 0 : 1;
}
