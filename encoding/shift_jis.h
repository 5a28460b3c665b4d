// Shift_JIS (code page 932) names for the folders the program creates.
#pragma once

#include <string>

// Converts UTF-8 text to the code page 932 bytes Windows makes of it (see
// platform/code_page.h: ill-formed input and characters the code page lacks become
// substitutes, never errors), cut at the first zero byte of the result. Never fails.
std::string utf8ToShiftJis(const std::string& text);

// The code page 932 name of a folder whose name in the export is `text` (UTF-8). A name
// that utf8ToShiftJis converts without a "?" keeps those bytes. Any other is first composed
// to Unicode Normalization Form C (see platform/unicode.h), so that a decomposed name from
// macOS converts like the composed one, and the four dashes and lines that Japanese text
// from other systems writes where code page 932 has its own form of them are replaced by
// that form: U+301C by U+FF5E (wave dash), U+2016 by U+2225 (double vertical line),
// U+2212 by U+FF0D (minus sign), U+2014 by U+2015 (em dash). Then it is converted by
// utf8ToShiftJis. Never fails; a character the code page lacks still gives a "?".
std::string folderNameToShiftJis(const std::string& text);
