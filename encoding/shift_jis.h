// Shift_JIS (code page 932) names for the folders the program creates.
#pragma once

#include <string>

// Converts UTF-8 text to the code page 932 bytes Windows makes of it (see
// platform/code_page.h: ill-formed input and characters the code page lacks become
// substitutes, never errors), cut at the first zero byte of the result. Never fails.
std::string utf8ToShiftJis(const std::string& text);
