// Unicode normalization of the names the program makes folders of.
#pragma once

#include <string>

namespace platform {

// Returns `utf8` composed to Unicode Normalization Form C exactly as Windows'
// NormalizeString(NormalizationC) composes it: a name typed on one system and a name that
// came through another (macOS writes its file names decomposed) become the same text.
// Text that is no well-formed UTF-8, or that holds a code point Windows refuses to
// normalize (the noncharacters, such as U+FFFF), comes back unchanged. Never fails.
std::string composeNfc(const std::string& utf8);

}  // namespace platform
