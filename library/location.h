// A track's Location is a file URL. It gives the music file's local path and, below the
// media folder's "Media/Music/", the artist folder, album folder and file name.
#pragma once

#include <string>
#include <string_view>

// The loopback host name and "/": what precedes the path in the URL of a local file.
inline constexpr const char* kLoopbackMarker = "localhost/";

// Handles a "Location" line: sets trackRecord.location to the decoded local path (noting
// "no files" in "err.csv" when its percent escapes cannot be decoded) and hands the part
// below "Media/Music/" to splitMusicPath. A line without the loopback host leaves the path
// empty; one without "Media/Music/" leaves the folder names empty.
void resolveLocation(std::string_view line);

// Decodes the percent escapes of URL text in place ("%e3" and "%E3" alike; "+" is a plus
// sign). Returns 0 on success. Returns -1 and leaves `text` unchanged when a "%" is not
// followed by two hexadecimal digits, and returns -1 with `text` decoded up to the escaped
// byte when an escape gives the byte 0 (nothing after it can be part of a file name).
int urlDecode(std::string& text);
