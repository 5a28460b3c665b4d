#include "encoding/url_text.h"

#include <cstring>

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

int urlDecode(std::string& text) {
    std::size_t percent = text.find('%');
    if (percent == std::string::npos) {
        return 0;
    }
    // Byte by byte into a buffer of the text's size (decoding only shortens it): a name in
    // Japanese is almost all escapes, three to a character, and a call per escape would cost
    // more than the decoding.
    std::string decoded(text.size(), '\0');
    const char* in = text.data();
    const std::size_t size = text.size();
    char* out = &decoded[0];
    std::memcpy(out, in, percent);
    std::size_t written = percent;
    for (std::size_t at = percent; at < size;) {
        if (in[at] != '%') {
            out[written++] = in[at++];
            continue;
        }
        int high = at + 1 < size ? hexValue(in[at + 1]) : -1;
        int low = at + 2 < size ? hexValue(in[at + 2]) : -1;
        if (high < 0 || low < 0) {
            return -1;
        }
        char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0') {
            decoded.resize(written);
            text.swap(decoded);
            return -1;
        }
        out[written++] = byte;
        at += 3;
    }
    decoded.resize(written);
    text.swap(decoded);
    return 0;
}
