// Text values of the export are XML character data: this undoes their escapes.
#pragma once

#include <string>
#include <string_view>

// Decodes the five named escapes ("&amp;", "&lt;", "&gt;", "&quot;", "&apos;") and numeric
// references ("&#N;", "&#xH;", written out as UTF-8). Anything else that starts with "&"
// stays as it stands, byte for byte: an unknown name, a malformed reference, and a
// reference to a control character below 0x20 or to a code point that is no Unicode
// scalar value. A lone "&" stays and swallows nothing.
std::string decodeXmlEscapes(std::string_view text);

// The same, appending the decoded text to `out`.
void appendXmlDecoded(std::string& out, std::string_view text);

// Appends the UTF-8 form of a Unicode scalar value.
void appendUtf8(std::string& out, unsigned long codePoint);
