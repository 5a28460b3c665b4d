// Checks, on Windows or under Wine, that the composition of builds without Windows
// (platform/unicode_posix.cpp with its table) gives what the Windows build gives with
// NormalizeString (platform/unicode_win.cpp): every code point alone and after a letter,
// every pair of a character that takes part in composing and a character that may join
// it, every Hangul syllable with every trailing consonant, random sequences of such
// characters, and ill-formed UTF-8. Prints the first differences and exits with 1 when
// there are any. See tools/under_wine.sh.
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "tools/check_hex.h"

// The files themselves, not copies of their logic, so the check covers exactly what is
// built. The Windows build's function is renamed to stand beside the other.
#define composeNfc windowsComposeNfc
#include "platform/unicode_win.cpp"
#undef composeNfc
#include "platform/unicode_posix.cpp"

namespace {

int mismatches = 0;
long long checked = 0;

void check(const std::string& input) {
    ++checked;
    const std::string windows = platform::windowsComposeNfc(input);
    const std::string posix = platform::composeNfc(input);
    if (windows != posix && ++mismatches <= 20) {
        std::printf("%s: Windows gives %s, the table gives %s\n", hex(input).c_str(),
                    hex(windows).c_str(), hex(posix).c_str());
    }
}

std::string utf8Of(const std::u32string& text) {
    std::string bytes;
    for (const char32_t c : text) {
        platform::appendUtf8(bytes, c);
    }
    return bytes;
}

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c < 0xE000;
}

std::set<char32_t> charactersOf(const std::vector<std::pair<char32_t, char32_t>>& blocks) {
    std::set<char32_t> characters;
    for (const auto& block : blocks) {
        for (char32_t c = block.first; c <= block.second; ++c) {
            characters.insert(c);
        }
    }
    return characters;
}

// Characters that may join the character before them: the combining marks, the second
// parts of compositions, and whole blocks of marks and conjoining jamo, so that what the
// table lacks is met too.
std::vector<char32_t> joiningCharacters() {
    std::set<char32_t> characters = charactersOf({{0x0300, 0x036F},
                                                  {0x0900, 0x0DFF},
                                                  {0x1100, 0x11FF},
                                                  {0x1DC0, 0x1DFF},
                                                  {0x20D0, 0x20FF},
                                                  {0x3099, 0x309A}});
    for (const platform::Composition& c : platform::kCompositions) {
        characters.insert(c.second);
    }
    for (const platform::CombiningMark& m : platform::kMarks) {
        characters.insert(m.code);
    }
    return {characters.begin(), characters.end()};
}

// Characters that take part in composing: those that may join others, those with a
// decomposition, the first parts and the results of compositions, and letters, kana and
// further blocks of marks as plain starters.
std::vector<char32_t> composingCharacters(const std::vector<char32_t>& joining) {
    std::set<char32_t> characters = charactersOf({{0x41, 0x5A},
                                                  {0x61, 0x7A},
                                                  {0x1AB0, 0x1AFF},
                                                  {0x3040, 0x30FF},
                                                  {0xFE20, 0xFE2F},
                                                  {0x1D165, 0x1D1AD},
                                                  {0x11000, 0x111FF}});
    characters.insert(joining.begin(), joining.end());
    for (const platform::Decomposition& d : platform::kDecompositions) {
        characters.insert(d.code);
    }
    for (const platform::Composition& c : platform::kCompositions) {
        characters.insert({c.first, c.composite});
    }
    return {characters.begin(), characters.end()};
}

void checkCodePoints() {
    for (char32_t c = 0; c < 0x110000; ++c) {
        if (!isSurrogate(c)) {
            check(utf8Of({c}));
            check(utf8Of({U'a', c}));
        }
    }
}

void checkPairs(const std::vector<char32_t>& characters, const std::vector<char32_t>& joining) {
    for (const char32_t first : characters) {
        for (const char32_t second : joining) {
            check(utf8Of({first, second}));
        }
    }
}

void checkHangul() {
    for (char32_t syllable = 0xAC00; syllable < 0xAC00 + 11172; ++syllable) {
        for (char32_t trailing = 0x11A7; trailing <= 0x11C3; ++trailing) {
            check(utf8Of({syllable, trailing}));
        }
    }
    for (char32_t leading = 0x1100; leading < 0x1100 + 20; ++leading) {
        for (char32_t vowel = 0x1160; vowel < 0x1161 + 22; ++vowel) {
            for (char32_t trailing = 0x11A7; trailing <= 0x11C3; ++trailing) {
                check(utf8Of({leading, vowel, trailing}));
            }
        }
    }
}

void checkSequences(const std::vector<char32_t>& characters) {
    std::uint32_t state = 12345;
    const auto random = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int i = 0; i < 2000000; ++i) {
        std::u32string text;
        const int length = 2 + random() % 7;
        for (int j = 0; j < length; ++j) {
            char32_t c = characters[random() % characters.size()];
            if (random() % 16 == 0) {
                c = random() % 0x110000;
            }
            if (!isSurrogate(c)) {
                text += c;
            }
        }
        check(utf8Of(text));
    }
}

// Bytes where the decoder's decisions change: ASCII, the edges of the continuation ranges
// each lead byte allows, and lead bytes of every length.
const std::vector<unsigned char> kInteresting = {
    0x00, 0x41, 0x7F, 0x80, 0x81, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
    0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xF8, 0xFF};

void checkIllFormed() {
    const std::string acute = "\xCC\x81";
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string two = {static_cast<char>(first), static_cast<char>(second)};
            check(two);
            check("a" + two + acute);
        }
    }
    // Three and four bytes: an interesting lead byte, any second byte, then bytes that
    // matter.
    for (const unsigned char lead : kInteresting) {
        for (int second = 0; second < 256; ++second) {
            const std::string two = {static_cast<char>(lead), static_cast<char>(second)};
            for (const unsigned char third : kInteresting) {
                check(two + static_cast<char>(third) + acute);
                for (const unsigned char fourth : kInteresting) {
                    check("a" + two + static_cast<char>(third) + static_cast<char>(fourth) + acute);
                }
            }
        }
    }
}

}  // namespace

int main() {
    const std::vector<char32_t> joining = joiningCharacters();
    const std::vector<char32_t> characters = composingCharacters(joining);
    checkCodePoints();
    checkPairs(characters, joining);
    checkHangul();
    checkSequences(characters);
    checkIllFormed();
    std::printf("%lld texts composed, %d differ\n", checked, mismatches);
    return mismatches == 0 ? 0 : 1;
}
