// Copies the cover picture embedded in a music file into an album folder. The music file's
// container (ID3, MP4, FLAC, ...) is not parsed: its raw bytes are searched for a picture,
// which finds covers in every format without knowing any of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How many bytes of the music file are read at a time, and the size of the copy buffer.
// A block that stays in the processor's cache while it is searched keeps the scan near the
// speed of reading the file at all: 128 KiB blocks ran at about 90 % of `cat`, 1 MiB ones
// at about 70 %.
constexpr std::size_t kArtworkBlockSize = std::size_t{1} << 17;

// Looks for a picture among the bytes of the file at `musicFilePath` and writes it into the
// folder `albumFolderPath`:
//  - A PNG runs from the first "\x89PNG" in the file to 8 bytes past the first "IEND" after
//    it. It counts only when those 8 bytes lie in the file. It is written as "img.png".
//  - Otherwise a JPEG runs from a JFIF header (FF D8 FF E0 ?? ?? "JFIF" 00) to the end of
//    the first FF D9 after the first such header; the last header before that FF D9 is the
//    start. It is written as "img.jpg". JPEGs without a JFIF header (Exif) are not found.
// The music file is read no further than the size it had when it was opened. Where no file
// of its name stands, the picture is created under its name; a run stopped meanwhile leaves
// its journal record for the next run to extract it again. An existing picture of the same
// name is replaced through a temporary file beside it ("img.png.bunkai-new") that is then
// moved over it, so that it stays whole until the new one is.
// If "img.png" cannot be created, the JPEG is tried instead. Returns 0 when a picture file
// was written, -1 otherwise: no picture, an unreadable music file, or a picture that could
// not be written completely, in which case the temporary file is removed and the old
// picture is left as it was. Prints nothing.
int extractArtwork(const std::string& musicFilePath, const std::string& albumFolderPath);

// The same, reading `blockSize` bytes at a time (0 counts as 1), so that tests can place
// patterns across the boundaries between blocks.
int extractArtwork(const std::string& musicFilePath, const std::string& albumFolderPath,
                   std::size_t blockSize);

// The picture of a music file, found before its album folder is made.
struct FoundArtwork {
    enum class Kind { none, png, jpeg };
    Kind kind = Kind::none;
    std::vector<unsigned char> bytes;
};

// Reads the music file as extractArtwork does and keeps, in `found`, the picture that it
// would write (kind none when there is none). False, with nothing kept, when the file cannot
// be read or the picture is longer than `limit` bytes: extractArtwork must then look itself.
// Writes nothing.
bool findArtwork(const std::string& musicFilePath, FoundArtwork& found, std::size_t limit,
                 std::size_t blockSize = kArtworkBlockSize);

// Writes the picture that findArtwork found in `musicFilePath` into the folder
// `albumFolderPath`, as extractArtwork would, with the same result. When "img.png" cannot be
// created there, the music file is read again for its JPEG.
int writeArtwork(const FoundArtwork& found, const std::string& musicFilePath,
                 const std::string& albumFolderPath);
