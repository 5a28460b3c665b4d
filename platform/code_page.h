// Conversion of UTF-8 text to code page 932 (Shift_JIS), the code page of the file names
// the program creates and of its users' Windows.
#pragma once

#include <string>

namespace platform {

// Converts `utf8` (any bytes, zero bytes included) to code page 932 exactly as Windows'
// MultiByteToWideChar(CP_UTF8, 0) followed by WideCharToMultiByte(932, 0) does: ill-formed
// UTF-8 becomes substitutes, characters the code page lacks become their best-fit
// character or "?". Never fails. Zero bytes in the input come out as zero bytes.
std::string utf8ToCodePage932(const std::string& utf8);

}  // namespace platform
