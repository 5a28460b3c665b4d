// Letter case in code page 932 names, as Windows' file systems see it.
#pragma once

#include <string>

// The form of the code page 932 name `sjis` in which every letter that the code page holds
// in both cases stands in upper case: ASCII letters, full-width Latin letters, Greek and
// Cyrillic letters and Roman numerals. Two names that Windows' file systems take for one
// (they compare names without regard to letter case) give the same form; two names they
// tell apart give different forms. Double-byte characters are read as such, so a trail
// byte that happens to be an ASCII letter is left alone. This holds for the codes Windows
// makes out of Unicode text, which are the only ones in the names the program creates: of
// a character that the code page holds under two codes (the NEC and IBM extensions), the
// other code is not taken for the same name. Never fails; a lone lead byte at the end
// stays as it is.
std::string foldLetterCase(const std::string& sjis);
