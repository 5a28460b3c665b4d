#include "encoding/shift_jis.h"

#include "platform/code_page.h"
#include "platform/unicode.h"

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

namespace {

// UTF-8 forms of the characters that Windows' conversion to code page 932 turns into "?",
// each with the character of the same meaning that it converts.
struct JapaneseForm {
    const char* other;
    const char* codePage932;
};

const JapaneseForm kJapaneseForms[] = {
    {"\xE3\x80\x9C", "\xEF\xBD\x9E"},  // wave dash
    {"\xE2\x80\x96", "\xE2\x88\xA5"},  // double vertical line
    {"\xE2\x88\x92", "\xEF\xBC\x8D"},  // minus sign
    {"\xE2\x80\x94", "\xE2\x80\x95"},  // em dash
};

// All four are three bytes long. UTF-8 sequences never overlap, so a search by bytes finds
// only whole characters.
std::string replaceJapaneseForms(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const JapaneseForm* match = nullptr;
        for (const JapaneseForm& form : kJapaneseForms) {
            if (text.compare(i, 3, form.other) == 0) {
                match = &form;
                break;
            }
        }
        if (match) {
            result += match->codePage932;
            i += 3;
        } else {
            result += text[i++];
        }
    }
    return result;
}

}  // namespace

std::string folderNameToShiftJis(const std::string& text) {
    // Composing changes some characters that code page 932 has as they are (U+212B, the
    // angstrom sign, becomes U+00C5, which converts to "A"; IBM extension ideographs such as
    // U+FA10 become their unified forms), so a name that converts whole is left alone: the
    // folders of earlier runs keep their names. Trail bytes of double-byte characters are
    // never 0x3F, so a 0x3F byte is a "?".
    std::string bytes = utf8ToShiftJis(text);
    if (bytes.find('?') == std::string::npos) {
        return bytes;
    }
    return utf8ToShiftJis(replaceJapaneseForms(platform::composeNfc(text)));
}
