// Checks, on Windows or under Wine, that the conversion used by builds without Windows
// (platform/code_page_posix.cpp with its table) gives the bytes Windows gives:
// MultiByteToWideChar(CP_UTF8, 0) followed by WideCharToMultiByte(932, 0). Prints the
// first differences and exits with 1 when there are any. See tools/under_wine.sh.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/check_hex.h"

// The file itself, not a copy of its logic, so the check covers exactly what is built.
#include "platform/code_page_posix.cpp"

namespace {

int mismatches = 0;
long long checked = 0;

std::string windowsWideTo932(const std::wstring& wide) {
    if (wide.empty()) {
        return {};
    }
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(932, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(932, 0, wide.data(), length, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::string windowsUtf8To932(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, &wide[0], size);
    return windowsWideTo932(wide);
}

void report(const char* what, const std::string& input, const std::string& expected,
            const std::string& actual) {
    if (++mismatches <= 20) {
        std::printf("%s %s: Windows gives %s, the table gives %s\n", what, hex(input).c_str(),
                    hex(expected).c_str(), hex(actual).c_str());
    }
}

// The table entry for each code unit on its own, and code units in the context of their
// neighbours, which is where surrogate pairs could convert differently from their halves.
void checkCodeUnits() {
    std::wstring all;
    std::string fromTable;
    for (unsigned unit = 0; unit < 0x10000; ++unit) {
        const std::wstring wide(1, static_cast<wchar_t>(unit));
        std::string table;
        platform::appendUnit(table, unit);
        const std::string windows = windowsWideTo932(wide);
        ++checked;
        if (windows != table) {
            report("code unit", std::string{static_cast<char>(unit >> 8), static_cast<char>(unit)},
                   windows, table);
        }
        all += wide;
        fromTable += table;
    }
    for (unsigned high = 0xD800; high < 0xDC00; ++high) {
        for (const unsigned low : {0xDC00u, 0xDC00u + (high & 0x3FF), 0xDFFFu}) {
            all += static_cast<wchar_t>(high);
            all += static_cast<wchar_t>(low);
            platform::appendUnit(fromTable, high);
            platform::appendUnit(fromTable, low);
            all += static_cast<wchar_t>(low);
            all += static_cast<wchar_t>(high);
            platform::appendUnit(fromTable, low);
            platform::appendUnit(fromTable, high);
        }
    }
    ++checked;
    if (windowsWideTo932(all) != fromTable) {
        report("all code units and surrogate pairs in one string", "", "something else",
               "its units one by one");
    }
}

void checkUtf8(const std::string& input) {
    ++checked;
    const std::string windows = windowsUtf8To932(input);
    const std::string posix = platform::utf8ToCodePage932(input);
    if (windows != posix) {
        report("UTF-8", input, windows, posix);
    }
}

std::string utf8Of(char32_t codePoint) {
    std::string bytes;
    if (codePoint < 0x80) {
        bytes += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        bytes += static_cast<char>(0xC0 | codePoint >> 6);
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        bytes += static_cast<char>(0xE0 | codePoint >> 12);
        bytes += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | codePoint >> 18);
        bytes += static_cast<char>(0x80 | (codePoint >> 12 & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint >> 6 & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return bytes;
}

// Bytes where the decoder's decisions change: ASCII and zero, the edges of the
// continuation ranges each lead byte allows, and lead bytes of every length.
const std::vector<unsigned char> kInteresting = {
    0x00, 0x41, 0x7F, 0x80, 0x81, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
    0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xF8, 0xFF};

void checkUtf8Inputs() {
    // Every input of up to three bytes.
    for (int a = 0; a < 256; ++a) {
        const std::string one(1, static_cast<char>(a));
        checkUtf8(one);
        for (int b = 0; b < 256; ++b) {
            const std::string two = one + static_cast<char>(b);
            checkUtf8(two);
            for (int c = 0; c < 256; ++c) {
                checkUtf8(two + static_cast<char>(c));
            }
        }
    }
    // Four and five bytes: a lead byte, any second byte, then bytes that matter.
    for (int lead = 0xC0; lead < 256; ++lead) {
        for (int second = 0; second < 256; ++second) {
            for (const unsigned char third : kInteresting) {
                for (const unsigned char fourth : kInteresting) {
                    const std::string four = {static_cast<char>(lead), static_cast<char>(second),
                                              static_cast<char>(third), static_cast<char>(fourth)};
                    checkUtf8(four);
                    checkUtf8(four + '\x80');
                }
            }
        }
    }
    // Every code point, well-formed, in runs of 64 characters.
    std::string run;
    for (char32_t codePoint = 0; codePoint < 0x110000; ++codePoint) {
        run += utf8Of(codePoint);
        if (codePoint % 64 == 63) {
            checkUtf8(run);
            run.clear();
        }
    }
    // Random mixtures of well-formed characters, pieces of them and interesting bytes.
    std::uint32_t state = 12345;
    const auto random = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int i = 0; i < 2000000; ++i) {
        std::string input;
        const int pieces = 1 + random() % 12;
        for (int piece = 0; piece < pieces; ++piece) {
            switch (random() % 4) {
                case 0:
                    input += static_cast<char>(kInteresting[random() % kInteresting.size()]);
                    break;
                case 1:
                    input += static_cast<char>(random());
                    break;
                case 2:
                    input += utf8Of(random() % 0x110000);
                    break;
                default: {
                    const std::string character = utf8Of(random() % 0x110000);
                    input += character.substr(0, random() % character.size());
                    break;
                }
            }
        }
        checkUtf8(input);
    }
}

}  // namespace

int main() {
    checkCodeUnits();
    checkUtf8Inputs();
    std::printf("%lld conversions checked, %d differ\n", checked, mismatches);
    return mismatches == 0 ? 0 : 1;
}
