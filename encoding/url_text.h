// File URLs in the export escape their bytes as "%XX": this undoes that.
#pragma once

#include <string>

// Decodes the percent escapes of URL text in place ("%e3" and "%E3" alike; "+" is a plus
// sign). Returns 0 on success. Returns -1 and leaves `text` unchanged when a "%" is not
// followed by two hexadecimal digits, and returns -1 with `text` decoded up to the escaped
// byte when an escape gives the byte 0 (nothing after it can be part of a file name).
int urlDecode(std::string& text);
