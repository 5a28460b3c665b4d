// Which folder names taken from the export may become folders below the working folder, and
// the names Windows gives them.
#pragma once

#include <string>

// True when a folder name taken from the export may be used as one level of a path below
// the working folder: neither its UTF-8 form nor its code page 932 form names "." or "..",
// consists of dots and blanks alone (Windows drops trailing dots and blanks, so "... "
// would become ".."), or holds a "/" or "\" of its own (the trail byte of a double-byte
// character is no separator). The empty name is allowed: it names the parent itself.
bool isSafeFolderName(const std::string& utf8, const std::string& sjis);

// The same test for one level of a code page 932 path alone; the empty name fails.
bool isSafePathLevel(const std::string& sjis);

// True when Windows accepts `sjis` (code page 932) as a folder name: no control character,
// none of < > : " | ? * outside double-byte characters, and no device name such as "CON"
// or "LPT1" (alone or before a "."). Characters that code page 932 lacks turn into "?", so
// names from other scripts often fail here.
bool windowsAcceptsFolderName(const std::string& sjis);

// The name Windows gives a folder created as `sjis`: without trailing dots and blanks,
// which it drops. Every build creates folders by this name, so the trees are the same.
std::string windowsFolderName(const std::string& sjis);
