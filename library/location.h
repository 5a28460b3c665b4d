// A track's Location is a file URL. It gives the music file's local path and, below the
// media folder's music folder, the artist folder, album folder and file name.
#pragma once

#include <string>
#include <string_view>

// The loopback host name and "/": what precedes the path in the URL of a local file.
inline constexpr const char* kLoopbackMarker = "localhost/";

// Handles a "Location" line: sets trackRecord().location to the decoded local path (noting
// "no files" for "err.csv" in trackRecord().errorNotes when its percent escapes cannot be
// decoded) and hands the path that musicRelativePath finds, given mediaFolderUrl, to
// splitMusicPath. A line without the loopback host leaves the path empty; one for which no
// relative path is found leaves the folder names empty.
void resolveLocation(std::string_view line);

// The path below the media folder's music folder in the Location line `line`, still
// URL-encoded, that names the artist folder, album folder and file; empty when there is
// none. The first rule that holds gives it:
// 1. The line holds "Media/Music/": the text after it, up to "</string>".
// 2. The Location's URL text (between "<string>" and "</string>") begins with the media
//    folder's URL text `mediaFolderUrl` (not empty; ASCII letters compared without regard
//    to case, as the file systems of the media player ignore it), ending there at a "/".
//    Of the rest R:
//    - R begins with "Music/" (letter case ignored) and at least three non-empty
//      components follow: those, the media folder's own music folder whatever the media
//      folder is called;
//    - R has exactly three non-empty components and the first, decoded, is none of the
//      media player's folders for kinds of media ("Movies", "Podcasts", ..., letter case
//      ignored): R, the older layout with the artist folders right in the media folder.
// The path views `line`.
std::string_view musicRelativePath(std::string_view line, const std::string& mediaFolderUrl);

// Splits `relativePath` (still URL-encoded) at "/" (runs of "/" count as one, and leading
// or trailing ones give nothing), then decodes each of the first three components: XML
// escapes, then percent escapes. Fills trackRecord().artistFolder, albumFolder and fileName
// (UTF-8) and the code page 932 forms of the two folder names. A component whose percent
// escapes cannot be decoded notes "artist", "album" or "name" in trackRecord().errorNotes and
// keeps its text as the decoding left it; so does one whose escapes give a line feed or a
// Ctrl-Z, which would break the list rows it stands in (its text then stays undecoded).
// Missing components leave their fields as they were.
void splitMusicPath(std::string_view relativePath);
