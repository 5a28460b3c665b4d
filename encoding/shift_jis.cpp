#include "encoding/shift_jis.h"

#include "platform/code_page.h"

std::string utf8ToShiftJis(const std::string& text) {
    // The name is a C string to the operating system, so it ends at its first zero byte.
    // The cut comes after the conversion, not before: an ill-formed sequence just before the
    // zero converts differently when the zero and what follows it are there to be read.
    std::string bytes = platform::utf8ToCodePage932(text);
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string::npos) {
        bytes.resize(zero);
    }
    return bytes;
}
