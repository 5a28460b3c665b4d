// The export is read as lines, with no XML parser: every decision rests on the one
// current line. This header holds the program-wide input stream and current line, and the
// only operations through which the program looks at the export.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// The export, opened once and read front to back in large blocks. Bytes are delivered as
// Windows text mode reads them on every build: CR LF becomes LF, a lone CR stays, and a
// Ctrl-Z byte (0x1A) ends the input. Lines are looked at where they lie in the buffer: a
// line cut by the end of a block is moved to the buffer's front before the next block is
// read behind it, and the buffer grows for a line longer than itself.
struct LibraryStream {
    std::FILE* file = nullptr;
    std::vector<char> buffer;
    std::size_t position = 0;  // next unread byte in `buffer`
    std::size_t filled = 0;    // bytes of `buffer` that hold data
    bool sourceDone = false;   // the file has nothing more to give (end, error or Ctrl-Z)
    bool atEnd = false;        // a read has met the end of the input
    // The "<" of the last line read, found while its end was looked for: scanLine and
    // extractBetween, given that line, need not look at its bytes again. They are noted by
    // pieces of the line that hold some: the offset of a piece in the line, and a mask whose
    // bit n stands for the byte n places further. Known only when `openingsLine` is that line
    // and they took at most kMaxOpeningPieces pieces.
    static constexpr std::size_t kMaxOpeningPieces = 8;
    std::size_t pieceOffsets[kMaxOpeningPieces] = {};
    std::uint64_t pieceMasks[kMaxOpeningPieces] = {};
    std::size_t pieceCount = 0;
    bool openingsKnown = false;
    std::string_view openingsLine;
};

extern LibraryStream libraryStream;

// The current line, without its line end. It views the stream's buffer and stays valid
// until the next readLine; whatever else it is set to must outlive its use.
extern std::string_view currentLine;

// Opens the export for reading; false when it cannot be opened or is no regular file (a
// folder, a pipe, a device). Any earlier stream is closed first.
bool openLibrary(const std::string& path);

// Closes the export; harmless when nothing is open.
void closeLibrary();

// Points `currentLine` at the next line, without its line end. Meeting the end of the
// input (or a read error) sets the end-of-input condition: a last line without a line end
// is delivered together with it, and a file ending in a line end gives one more, empty,
// line.
void readLine();

// True once a read has met the end of the input. Asked before every line: inline.
inline bool atEndOfInput() {
    return libraryStream.atEnd;
}

// True when `tag` occurs anywhere in `currentLine`.
bool lineContains(std::string_view tag);

// True when `currentLine` is exactly `text`.
bool lineIs(std::string_view text);

// The bytes of `line` after the first `open` tag and before the first `close` tag, as a
// view into `line`. Without `open`, the whole line comes back unchanged (callers rely on
// that to tell a line without a key). When `close` is missing, or its first occurrence
// lies before the value's start, the value runs to the end of the line. Never fails.
std::string_view extractBetween(std::string_view open, std::string_view close,
                                std::string_view line);

// The tags around the value of a dictionary entry.
enum class ValueTag { string, integer, date };

// extractBetween("<string>", "</string>", line), or the same with "<integer>" or "<date>":
// the value of an entry line whose key scanLine gave as `key`. Quicker than extractBetween,
// which takes any tags, and quicker still for the usual entry line of the line read last,
// "<key>", the key, "</key>" and the value's tags right after, in its first sixty-four bytes:
// that value is found without a look at the line's other "<".
std::string_view valueOf(ValueTag tag, std::string_view line, std::string_view key);

// extractBetween's value for an `open` that ends at `start` of `line`: the bytes from
// `start` to the first `close` of the line, or to its end when `close` is missing or its
// first occurrence lies before `start`.
std::string_view valueFrom(std::size_t start, std::string_view close, std::string_view line);
// The text between "<key>" and "</key>" by the rule of extractBetween.
std::string_view keyOf(std::string_view line);

// True when the `size` bytes at `bytes` are those at `wanted`. Tags and keys are a few bytes
// long: compared as two words that overlap, they cost less than a call to memcmp.
inline bool sameBytes(const char* bytes, const char* wanted, std::size_t size) {
    auto word64 = [](const char* at) {
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        return word;
    };
    auto word32 = [](const char* at) {
        std::uint32_t word;
        std::memcpy(&word, at, sizeof word);
        return word;
    };
    if (size >= 8 && size <= 16) {
        return word64(bytes) == word64(wanted) &&
               word64(bytes + size - 8) == word64(wanted + size - 8);
    }
    if (size >= 4 && size < 8) {
        return word32(bytes) == word32(wanted) &&
               word32(bytes + size - 4) == word32(wanted + size - 4);
    }
    return std::memcmp(bytes, wanted, size) == 0;
}

// What a line of a dictionary can be, found in one pass over its tags.
struct LineTags {
    bool opensDictionary = false;   // "<dict>" occurs in it
    bool closesDictionary = false;  // "</dict>" occurs in it
    bool hasKey = false;            // "<key>" occurs in it
    std::string_view key;           // keyOf(line) when hasKey
};

// The tags of `line`, exactly as lineContains and keyOf would find them.
LineTags scanLine(std::string_view line);
