#include "library/line_reader.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#define BUNKAI_LINE_SCAN_SSE2 1
#endif

#include "platform/files.h"

LibraryStream libraryStream;
std::string_view currentLine;

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr char kCtrlZ = 0x1A;

// Moves the unread bytes to the buffer's front and reads the next block behind them,
// growing the buffer when they fill it. Cuts the block at a Ctrl-Z, which ends the input in
// text mode; a read error ends the input too. False when no byte was added.
bool refill(LibraryStream& stream) {
    if (stream.sourceDone || !stream.file) {
        return false;
    }
    const std::size_t kept = stream.filled - stream.position;
    std::memmove(stream.buffer.data(), stream.buffer.data() + stream.position, kept);
    stream.position = 0;
    stream.filled = kept;
    if (kept == stream.buffer.size()) {
        stream.buffer.resize(stream.buffer.size() * 2);
    }
    char* free = stream.buffer.data() + kept;
    const std::size_t wanted = stream.buffer.size() - kept;
    std::size_t got = std::fread(free, 1, wanted, stream.file);
    if (got < wanted) {
        stream.sourceDone = true;
    }
    if (const void* stop = std::memchr(free, kCtrlZ, got)) {
        got = static_cast<std::size_t>(static_cast<const char*>(stop) - free);
        stream.sourceDone = true;
    }
    stream.filled += got;
    return got > 0;
}

// The offset of the lowest bit set in `bits` (which is not 0).
unsigned lowestBit(std::uint64_t bits) {
#ifdef __GNUC__
    return static_cast<unsigned>(__builtin_ctzll(bits));
#else
    unsigned offset = 0;
    for (; (bits & 1) == 0; bits >>= 1) {
        ++offset;
    }
    return offset;
#endif
}

// Notes the "<" of a piece of the line being read: those of `mask`, whose bit n stands for
// the byte at offset `offset` + n.
void notePiece(LibraryStream& stream, std::size_t offset, std::uint64_t mask) {
    if (mask == 0) {
        return;
    }
    if (stream.pieceCount < LibraryStream::kMaxOpeningPieces) {
        stream.pieceOffsets[stream.pieceCount] = offset;
        stream.pieceMasks[stream.pieceCount] = mask;
    }
    ++stream.pieceCount;
}

#ifdef BUNKAI_LINE_SCAN_SSE2
// The bytes equal to `wanted` among the sixteen at `data`, one bit each.
std::uint64_t maskOf16(const char* data, __m128i wanted) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    return static_cast<std::uint64_t>(
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted))));
}

// The same for the sixty-four bytes at `data`.
std::uint64_t maskOf64(const char* data, __m128i wanted) {
    return maskOf16(data, wanted) | maskOf16(data + 16, wanted) << 16 |
           maskOf16(data + 32, wanted) << 32 | maskOf16(data + 48, wanted) << 48;
}

// Notes the "<" of the step of the line at offset `at`, given as masks of its line feeds and
// "<", up to its first line feed: the offset of that in the step, or 64 when it holds none.
unsigned noteStep(LibraryStream& stream, std::size_t at, std::uint64_t feeds,
                  std::uint64_t openings) {
    if (feeds == 0) {
        notePiece(stream, at, openings);
        return 64;
    }
    const unsigned end = lowestBit(feeds);
    notePiece(stream, at, openings & ((std::uint64_t{1} << end) - 1));
    return end;
}
#endif

// Finds the first line feed at or after offset `from` of the `size` bytes at `data` (the
// line being read, up to the end of the buffered bytes), and notes the "<" before it on the
// way: one pass over the line finds both, sixty-four bytes at a time. npos when there is
// none.
std::size_t findLineEnd(LibraryStream& stream, const char* data, std::size_t from,
                        std::size_t size) {
    std::size_t at = from;
#ifdef BUNKAI_LINE_SCAN_SSE2
    const __m128i feed = _mm_set1_epi8('\n');
    const __m128i opening = _mm_set1_epi8('<');
    for (; at + 64 <= size; at += 64) {
        const unsigned end =
            noteStep(stream, at, maskOf64(data + at, feed), maskOf64(data + at, opening));
        if (end < 64) {
            return at + end;
        }
    }
    for (; at + 16 <= size; at += 16) {
        const unsigned end =
            noteStep(stream, at, maskOf16(data + at, feed), maskOf16(data + at, opening));
        if (end < 64) {
            return at + end;
        }
    }
#endif
    for (; at < size; ++at) {
        if (data[at] == '\n') {
            return at;
        }
        if (data[at] == '<') {
            notePiece(stream, at, 1);
        }
    }
    return std::string_view::npos;
}

// True when `tag` (a literal) starts at `at` in the `size` bytes at `data`.
template <std::size_t length>
bool tagAt(const char* data, std::size_t size, std::size_t at, const char (&tag)[length]) {
    return size - at >= length - 1 && std::memcmp(data + at, tag, length - 1) == 0;
}

// Calls `look(at)` for each "<" of the `size` bytes at `data`, in order, until it returns
// true. Every tag starts with "<", and an entry line holds four of them in some sixty bytes.
template <typename Look>
void forEachOpening(const char* data, std::size_t size, Look look) {
    const LibraryStream& stream = libraryStream;
    if (stream.openingsKnown && data == stream.openingsLine.data() &&
        size == stream.openingsLine.size()) {
        for (std::size_t piece = 0; piece < stream.pieceCount; ++piece) {
            const std::size_t offset = stream.pieceOffsets[piece];
            for (std::uint64_t bits = stream.pieceMasks[piece]; bits != 0; bits &= bits - 1) {
                if (look(offset + lowestBit(bits))) {
                    return;
                }
            }
        }
        return;
    }
    std::size_t at = 0;
#ifdef BUNKAI_LINE_SCAN_SSE2
    // Sixteen bytes at a time.
    const __m128i opening = _mm_set1_epi8('<');
    for (; at + 16 <= size; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, opening)));
        while (bits != 0) {
            if (look(at + static_cast<std::size_t>(__builtin_ctz(bits)))) {
                return;
            }
            bits &= bits - 1;
        }
    }
    if (at < size && size >= 16) {
        // The rest in one step too: the sixteen bytes that end the line, less the ones
        // looked at already.
        const std::size_t start = size - 16;
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + start));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, opening)));
        bits &= ~0u << (at - start);
        while (bits != 0) {
            if (look(start + static_cast<std::size_t>(__builtin_ctz(bits)))) {
                return;
            }
            bits &= bits - 1;
        }
        return;
    }
#endif
    for (; at < size; ++at) {
        if (data[at] == '<' && look(at)) {
            return;
        }
    }
}

// True when `tag` starts at `at` of `line`; the second byte settles most misses.
bool startsAt(std::string_view line, std::size_t at, std::string_view tag) {
    if (line.size() - at < tag.size() || (tag.size() >= 2 && line[at + 1] != tag[1])) {
        return false;
    }
    return sameBytes(line.data() + at, tag.data(), tag.size());
}

}  // namespace

bool openLibrary(const std::string& path) {
    closeLibrary();
    std::FILE* file = platform::openInputFile(path);
    if (!file) {
        return false;
    }
    libraryStream.file = file;
    libraryStream.buffer.resize(kBlockSize);
    return true;
}

void closeLibrary() {
    if (libraryStream.file) {
        std::fclose(libraryStream.file);
    }
    libraryStream = LibraryStream{};
    currentLine = {};
}

void readLine() {
    LibraryStream& stream = libraryStream;
    std::size_t searched = 0;  // bytes after `position` known to hold no line feed
    stream.pieceCount = 0;
    // Put together here and stored twice: read back from `currentLine` at once, it would wait
    // for the two halves just stored.
    std::string_view line;
    for (;;) {
        const char* start = stream.buffer.data() + stream.position;
        const std::size_t available = stream.filled - stream.position;
        std::size_t length = findLineEnd(stream, start, searched, available);
        if (length != std::string_view::npos) {
            stream.position += length + 1;
            // CR LF reads as LF.
            if (length > 0 && start[length - 1] == '\r') {
                --length;
            }
            line = std::string_view(start, length);
            break;
        }
        searched = available;
        if (!refill(stream)) {
            line = std::string_view(stream.buffer.data() + stream.position, available);
            stream.position = stream.filled;
            stream.atEnd = true;
            break;
        }
    }
    currentLine = line;
    stream.openingsKnown = stream.pieceCount <= LibraryStream::kMaxOpeningPieces;
    stream.openingsLine = line;
}

bool lineContains(std::string_view tag) {
    return currentLine.find(tag) != std::string_view::npos;
}

bool lineIs(std::string_view text) {
    return currentLine == text;
}

namespace {

// The bytes of `line` from `start` up to `closeAt`, or to the line's end when `closeAt` is
// npos or lies before `start`.
std::string_view valueBetween(std::string_view line, std::size_t start, std::size_t closeAt) {
    if (closeAt != std::string_view::npos && closeAt >= start) {
        return line.substr(start, closeAt - start);
    }
    return line.substr(start);
}

}  // namespace

std::string_view valueFrom(std::size_t start, std::string_view close, std::string_view line) {
    std::size_t closeAt = std::string_view::npos;
    if (!close.empty() && close[0] == '<') {
        forEachOpening(line.data(), line.size(), [&](std::size_t at) {
            closeAt = startsAt(line, at, close) ? at : closeAt;
            return closeAt != std::string_view::npos;
        });
    } else {
        closeAt = line.find(close);
    }
    return valueBetween(line, start, closeAt);
}

namespace {

// extractBetween for two tags, which `opens(at)` and `closes(at)` tell at offset `at` of
// `line`: one pass over the line's "<" finds the first of each.
template <typename Opens, typename Closes>
std::string_view valueBetweenTags(std::string_view line, std::size_t openSize, Opens opens,
                                  Closes closes) {
    std::size_t openAt = std::string_view::npos;
    std::size_t closeAt = std::string_view::npos;
    forEachOpening(line.data(), line.size(), [&](std::size_t at) {
        if (openAt == std::string_view::npos && opens(at)) {
            openAt = at;
        }
        if (closeAt == std::string_view::npos && closes(at)) {
            closeAt = at;
        }
        return openAt != std::string_view::npos && closeAt != std::string_view::npos;
    });
    if (openAt == std::string_view::npos) {
        return line;
    }
    return valueBetween(line, openAt + openSize, closeAt);
}

// The same for two literal tags: known when the program is built, they are matched with
// a compare or two each.
template <std::size_t openLength, std::size_t closeLength>
std::string_view valueBetweenTags(const char (&open)[openLength], const char (&close)[closeLength],
                                  std::string_view line) {
    const char* data = line.data();
    const std::size_t size = line.size();
    return valueBetweenTags(
        line, openLength - 1, [&](std::size_t at) { return tagAt(data, size, at, open); },
        [&](std::size_t at) { return tagAt(data, size, at, close); });
}

}  // namespace

std::string_view extractBetween(std::string_view open, std::string_view close,
                                std::string_view line) {
    if (!open.empty() && !close.empty() && open[0] == '<' && close[0] == '<') {
        return valueBetweenTags(
            line, open.size(), [&](std::size_t at) { return startsAt(line, at, open); },
            [&](std::size_t at) { return startsAt(line, at, close); });
    }
    const std::size_t openAt = line.find(open);
    if (openAt == std::string_view::npos) {
        return line;
    }
    return valueBetween(line, openAt + open.size(), line.find(close));
}

namespace {

// The "<" of `line` in its first sixty-four bytes, as noted when it was read, and how many
// pieces of the line hold any; false when they are not known.
bool firstOpeningsOf(std::string_view line, std::uint64_t& openings, std::size_t& pieces) {
    const LibraryStream& stream = libraryStream;
    if (!stream.openingsKnown || stream.pieceCount == 0 || stream.pieceOffsets[0] != 0 ||
        line.data() != stream.openingsLine.data() || line.size() != stream.openingsLine.size()) {
        return false;
    }
    openings = stream.pieceMasks[0];
    pieces = stream.pieceCount;
    return true;
}

// valueOf for the usual entry line, when the noted "<" of `line` show it to be one: its first
// two "<" those of "<key>" and "</key>" around `key`, the third right after and opening the
// value's tag. Neither key tag can be a value tag, so that is the first opening tag of the
// line, and the next "<" its first closing one when it is one. Both are then set; false when
// the line is not such a line (or its tags do not lie in its first sixty-four bytes).
template <std::size_t openLength, std::size_t closeLength>
bool valueRightAfterKey(const char (&open)[openLength], const char (&close)[closeLength],
                        std::string_view line, std::string_view key, std::size_t& openAt,
                        std::size_t& closeAt) {
    std::uint64_t openings;
    std::size_t pieces;
    if (!firstOpeningsOf(line, openings, pieces) || key.data() < line.data() + 5 ||
        key.data() > line.data() + line.size()) {
        return false;
    }
    const std::size_t keyOpen = static_cast<std::size_t>(key.data() - line.data()) - 5;
    const std::size_t keyClose = keyOpen + 5 + key.size();
    openAt = keyClose + 6;
    if (openAt >= 64) {
        return false;
    }
    const std::uint64_t before = openings & ((std::uint64_t{1} << openAt) - 1);
    const std::uint64_t after = openings & ~((std::uint64_t{2} << openAt) - 1);
    // The tags are compared as words: passed down here, they are no constants to the
    // compiler anymore, and memcmp would be called for each.
    const char* data = line.data();
    const std::size_t size = line.size();
    auto startsWith = [data, size](std::size_t at, const char* tag, std::size_t length) {
        return size - at >= length && sameBytes(data + at, tag, length);
    };
    if (before != ((std::uint64_t{1} << keyOpen) | (std::uint64_t{1} << keyClose)) ||
        (openings >> openAt & 1) == 0 || after == 0 || !startsWith(keyOpen, "<key>", 5) ||
        !startsWith(keyClose, "</key>", 6) || !startsWith(openAt, open, openLength - 1)) {
        return false;
    }
    closeAt = lowestBit(after);
    return startsWith(closeAt, close, closeLength - 1);
}

template <std::size_t openLength, std::size_t closeLength>
std::string_view valueAfterKey(const char (&open)[openLength], const char (&close)[closeLength],
                               std::string_view line, std::string_view key) {
    std::size_t openAt;
    std::size_t closeAt;
    if (valueRightAfterKey(open, close, line, key, openAt, closeAt)) {
        return valueBetween(line, openAt + openLength - 1, closeAt);
    }
    return valueBetweenTags(open, close, line);
}

}  // namespace

std::string_view valueOf(ValueTag tag, std::string_view line, std::string_view key) {
    switch (tag) {
        case ValueTag::string:
            return valueAfterKey("<string>", "</string>", line, key);
        case ValueTag::integer:
            return valueAfterKey("<integer>", "</integer>", line, key);
        case ValueTag::date:
            break;
    }
    return valueAfterKey("<date>", "</date>", line, key);
}

std::string_view keyOf(std::string_view line) {
    return extractBetween("<key>", "</key>", line);
}

namespace {

// scanLine for the usual entry line, when the noted "<" of `line` show it to be one: all of
// them in its first sixty-four bytes, the first two those of "<key>" and "</key>". The others
// can then only open or close a dictionary. False when the line is not such a line.
bool scanEntryLine(std::string_view line, LineTags& tags) {
    std::uint64_t openings;
    std::size_t pieces;
    if (!firstOpeningsOf(line, openings, pieces) || pieces != 1) {
        return false;
    }
    const char* data = line.data();
    const std::size_t size = line.size();
    const std::size_t keyOpen = lowestBit(openings);
    openings &= openings - 1;
    if (openings == 0 || !tagAt(data, size, keyOpen, "<key>")) {
        return false;
    }
    const std::size_t keyClose = lowestBit(openings);
    if (!tagAt(data, size, keyClose, "</key>")) {
        return false;
    }
    for (openings &= openings - 1; openings != 0; openings &= openings - 1) {
        const std::size_t at = lowestBit(openings);
        if (tagAt(data, size, at, "<dict>")) {
            tags.opensDictionary = true;
        } else if (tagAt(data, size, at, "</dict>")) {
            tags.closesDictionary = true;
        }
    }
    tags.hasKey = true;
    tags.key = std::string_view(data + keyOpen + 5, keyClose - keyOpen - 5);
    return true;
}

}  // namespace

LineTags scanLine(std::string_view line) {
    LineTags tags;
    if (scanEntryLine(line, tags)) {
        return tags;
    }
    // Looking at each "<" once finds the first of each tag.
    std::size_t keyStart = std::string_view::npos;
    std::size_t keyCloseAt = std::string_view::npos;
    const char* data = line.data();
    const std::size_t size = line.size();
    auto look = [&](std::size_t at) {
        if (at + 1 < size && data[at + 1] == '/') {
            if (!tags.closesDictionary && tagAt(data, size, at, "</dict>")) {
                tags.closesDictionary = true;
            } else if (keyCloseAt == std::string_view::npos && tagAt(data, size, at, "</key>")) {
                keyCloseAt = at;
            }
        } else if (!tags.opensDictionary && tagAt(data, size, at, "<dict>")) {
            tags.opensDictionary = true;
        } else if (keyStart == std::string_view::npos && tagAt(data, size, at, "<key>")) {
            keyStart = at + 5;
        }
        return false;
    };
    forEachOpening(data, size, look);
    if (keyStart != std::string_view::npos) {
        tags.hasKey = true;
        // keyStart lies within the line: the tag "<key>" ends there.
        const std::size_t keyEnd =
            keyCloseAt != std::string_view::npos && keyCloseAt >= keyStart ? keyCloseAt : size;
        tags.key = std::string_view(data + keyStart, keyEnd - keyStart);
    }
    return tags;
}
