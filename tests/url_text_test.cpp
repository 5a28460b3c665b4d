#include "encoding/url_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

int hex(char c) {
    const std::string digits = "0123456789ABCDEF";
    const std::size_t upper = digits.find(c);
    const std::size_t lower = std::string("0123456789abcdef").find(c);
    return upper != std::string::npos ? static_cast<int>(upper)
           : lower != std::string::npos ? static_cast<int>(lower)
                                        : -1;
}

// The rule byte by byte: an escape decodes, a malformed one leaves the text as it was, and
// one that gives the byte 0 cuts the text there.
int plainDecode(std::string& text) {
    std::string decoded;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            decoded += text[at];
            continue;
        }
        if (at + 2 >= text.size() || hex(text[at + 1]) < 0 || hex(text[at + 2]) < 0) {
            return -1;
        }
        const char byte = static_cast<char>(hex(text[at + 1]) * 16 + hex(text[at + 2]));
        if (byte == '\0') {
            text = decoded;
            return -1;
        }
        decoded += byte;
        at += 2;
    }
    text = decoded;
    return 0;
}

// Against the plain rule, on text dense with escapes and near misses, of every length around
// the sixteen-byte steps.
TEST(UrlDecode, DecodesLikeThePlainRule) {
    std::mt19937 random(7);
    const char alphabet[] = {'%', '%', 'E', '3', '0', 'a', 'g', '/', ' '};
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 70, ' ');
        for (char& c : text) {
            c = alphabet[random() % sizeof alphabet];
        }
        std::string expected = text;
        const int expectedResult = plainDecode(expected);
        std::string decoded = text;
        ASSERT_EQ(urlDecode(decoded), expectedResult) << text;
        ASSERT_EQ(decoded, expected) << text;
    }
}

}  // namespace
