// UTF-8 to code page 932 on any bytes: the folder names made of it must be whole characters
// with no zero byte, and the conversion must never fail or grow the text. Composing to
// NFC must be stable.
#include <cstddef>
#include <cstdint>
#include <string>

#include "encoding/shift_jis.h"
#include "fuzz/fuzz_support.h"
#include "platform/code_page.h"
#include "platform/unicode.h"

namespace {

using fuzzing::check;

bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool isTrailByte(unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input = fuzzing::bytesOf(data, size);
    const std::string output = utf8ToShiftJis(input);

    check(output.size() <= input.size(), "the conversion made the text longer");
    check(output.find('\0') == std::string::npos, "the conversion left a zero byte");

    bool ascii = input.find('\0') == std::string::npos;
    for (char c : input) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    check(!ascii || output == input, "ASCII text was changed");

    // The cut at the first zero byte comes after converting the whole text.
    const std::string whole = platform::utf8ToCodePage932(input);
    check(whole.size() <= input.size(), "the whole conversion made the text longer");
    check(whole.compare(0, output.size(), output) == 0 &&
              (output.size() == whole.size() || whole[output.size()] == '\0'),
          "the result is not the conversion cut at its first zero byte");

    // Composing twice gives what composing once gave, and a name that converts without a
    // "?" keeps its bytes as a folder name.
    const std::string composed = platform::composeNfc(input);
    check(platform::composeNfc(composed) == composed, "composing again changed the text");
    check(output.find('?') != std::string::npos || folderNameToShiftJis(input) == output,
          "a name that converts whole got other bytes as a folder name");

    for (std::size_t i = 0; i < output.size(); ++i) {
        if (isLeadByte(static_cast<unsigned char>(output[i]))) {
            check(i + 1 < output.size() && isTrailByte(static_cast<unsigned char>(output[i + 1])),
                  "a double-byte character is cut or has no trail byte");
            ++i;
        }
    }
    return 0;
}
