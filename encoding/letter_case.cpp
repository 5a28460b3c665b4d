#include "encoding/letter_case.h"

namespace {

bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The double-byte lower-case letters of code page 932, in runs whose upper-case letters
// follow in the same order. Each run was checked against the file system under Wine
// (tools/cp932/check_case_fold.cpp).
struct LowerCaseRun {
    unsigned first;
    unsigned last;
    unsigned upperFirst;
};

const LowerCaseRun kLowerCaseRuns[] = {
    {0x8281, 0x829A, 0x8260},  // full-width Latin a..z
    {0x83BF, 0x83D6, 0x839F},  // Greek alpha..omega
    {0x8470, 0x847E, 0x8440},  // Cyrillic a..en, yo among them
    {0x8480, 0x8491, 0x844F},  // Cyrillic o..ya (no trail byte is 0x7F)
    {0xFA40, 0xFA49, 0x8754},  // small Roman numerals one..ten
};

unsigned upperCase(unsigned code) {
    for (const LowerCaseRun& run : kLowerCaseRuns) {
        if (code >= run.first && code <= run.last) {
            return run.upperFirst + (code - run.first);
        }
    }
    return code;
}

}  // namespace

std::string foldLetterCase(const std::string& sjis) {
    std::string folded = sjis;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(folded[i]);
        if (!isLeadByte(byte)) {
            if (byte >= 'a' && byte <= 'z') {
                folded[i] = static_cast<char>(byte - 'a' + 'A');
            }
            continue;
        }
        if (i + 1 == folded.size()) {
            break;
        }
        const unsigned upper =
            upperCase(static_cast<unsigned>(byte) << 8 | static_cast<unsigned char>(folded[i + 1]));
        folded[i] = static_cast<char>(upper >> 8);
        folded[i + 1] = static_cast<char>(upper & 0xFF);
        ++i;
    }
    return folded;
}
