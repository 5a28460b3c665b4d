#include "encoding/xml_text.h"

#include <cstring>

namespace {

constexpr unsigned long kMaxCodePoint = 0x10FFFF;

struct NamedEscape {
    const char* name;  // between "&" and ";"
    char replacement;
};

constexpr NamedEscape kNamedEscapes[] = {
    {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''},
};

int digitValue(char c, bool hex) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (hex && c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (hex && c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes the numeric reference whose "#" stands at `at`; returns the position after its
// ";" or 0 when it is not one that may be decoded.
std::size_t decodeNumeric(std::string_view text, std::size_t at, std::string& out) {
    std::size_t i = at + 1;
    bool hex = i < text.size() && text[i] == 'x';
    if (hex) {
        ++i;
    }
    std::size_t firstDigit = i;
    unsigned long value = 0;
    while (i < text.size()) {
        int digit = digitValue(text[i], hex);
        if (digit < 0) {
            break;
        }
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        if (value > kMaxCodePoint) {
            return 0;
        }
        ++i;
    }
    if (i == firstDigit || i >= text.size() || text[i] != ';') {
        return 0;
    }
    bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (value < 0x20 || surrogate) {
        return 0;
    }
    appendUtf8(out, value);
    return i + 1;
}

}  // namespace

void appendUtf8(std::string& out, unsigned long codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string decodeXmlEscapes(std::string_view text) {
    std::string out;
    appendXmlDecoded(out, text);
    return out;
}

void appendXmlDecoded(std::string& out, std::string_view text) {
    std::size_t amp = text.find('&');
    if (amp == std::string_view::npos) {
        out.append(text);
        return;
    }
    out.reserve(out.size() + text.size());
    std::size_t done = 0;
    while (amp != std::string_view::npos) {
        out.append(text, done, amp - done);
        std::size_t next = 0;
        if (amp + 1 < text.size() && text[amp + 1] == '#') {
            next = decodeNumeric(text, amp + 1, out);
        } else {
            for (const NamedEscape& escape : kNamedEscapes) {
                std::size_t length = std::strlen(escape.name);
                if (text.compare(amp + 1, length, escape.name) == 0 &&
                    amp + 1 + length < text.size() && text[amp + 1 + length] == ';') {
                    out += escape.replacement;
                    next = amp + length + 2;
                    break;
                }
            }
        }
        if (next == 0) {
            out += '&';
            next = amp + 1;
        }
        done = next;
        amp = text.find('&', done);
    }
    out.append(text, done, std::string_view::npos);
}
