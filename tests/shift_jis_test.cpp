#include "encoding/shift_jis.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page.h"

namespace {

// Inputs follow escapes with letters that are no hex digits ("\x80Z"), so each escape
// stays one byte.
struct Case {
    const char* what;
    std::string input;
    std::string expected;
};

// std::string literals, so that zero bytes inside them count.
using namespace std::string_literals;

// The substitute counts for ill-formed input are those of Windows' decoder (measured under
// Wine); see platform/code_page_posix.cpp for the rules.
TEST(ShiftJis, ConvertsAsWindowsDoes) {
    const Case cases[] = {
        {"ASCII", "Track 01 - A~Z\\", "Track 01 - A~Z\\"},
        {"katakana SO, whose trail byte is a backslash", "Z\xE3\x82\xBD", "Z\x83\x5C"},
        {"U+E000, private use, goes to the user-defined area", "\xEE\x80\x80", "\xF0\x40"},
        {"yen sign, best fit", "\xC2\xA5", "\x5C"},
        {"wave dash has no mapping", "\xE3\x80\x9C", "?"},
        {"zero inside", "ab\0cd"s, "ab"},
        {"ill-formed byte before the zero", "\xC2\0Z"s, "?"},
        // Cutting before converting would leave "E3 5A" at the end of the input, which
        // converts to one substitute alone.
        {"zero after an ill-formed sequence", "\xE3Z\0Y"s, "?Z"},
        {"lone continuation byte", "Z\x80Y", "Z?Y"},
        {"overlong two-byte slash", "\xC0\xAF", "??"},
        {"overlong four-byte", "\xF0\x80\x80\x80", "???"},
        {"encoded surrogate pair", "\xED\xA0\x80\xED\xB0\x80", "????"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "???"},
        {"three-byte sequence cut short", "\xE3\x81\xE3\x81\x82", "?\x82\xA0"},
        {"four-byte sequence cut short", "\xF0\x90\x80XY", "?XY"},
        {"three-byte sequence cut by the end", "Z\xE3\x81", "Z?"},
        // The lead byte takes the rest of the input, ASCII included.
        {"two ASCII bytes after the lead at the end", "\xF0XY", "?"},
        {"continuation byte after E0 that makes an overlong form", "\xE0\x80", "?"},
        {"outside the BMP: two substitutes", "Z\xF0\x9F\x98\x80Y", "Z??Y"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToShiftJis(c.input), c.expected) << c.what;
    }
}

// Names from macOS are decomposed, and Japanese text from other systems writes four
// characters that code page 932 has only in another form.
TEST(ShiftJis, FolderNamesAreComposedAndTakeTheCodePagesForms) {
    const Case cases[] = {
        {"katakana HA, voiced mark, N, DO", "\xE3\x83\x8F\xE3\x82\x99\xE3\x83\xB3\xE3\x83\x89",
         "\x83\x6F\x83\x93\x83\x68"},
        {"a, acute; a, diaeresis",
         "Mona\xCC\x81"
         "e Sa\xCC\x88nger",
         "Monae Sanger"},
        {"wave dash, double vertical line, minus sign, em dash",
         "\xE3\x80\x9C\xE2\x80\x96\xE2\x88\x92\xE2\x80\x94", "\x81\x60\x81\x61\x81\x7C\x81\x5C"},
        {"angstrom sign, which composing would make an A", "\xE2\x84\xAB", "\x81\xF0"},
        {"IBM extension ideograph, which composing would unify", "\xEF\xA8\x90", "\xFA\x9C"},
        {"decomposed Hangul, which the code page lacks composed too",
         "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB", "?"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(folderNameToShiftJis(c.input), c.expected) << c.what;
    }
}

TEST(CodePage932, PassesZeroBytesThrough) {
    EXPECT_EQ(platform::utf8ToCodePage932("a\0\xE3\x81\x82\0"s), "a\0\x82\xA0\0"s);
}

}  // namespace
