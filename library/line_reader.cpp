#include "library/line_reader.h"

#include <cstring>

#include "platform/files.h"

LibraryStream libraryStream;
std::string currentLine;

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr char kCtrlZ = 0x1A;

// Fills the buffer with the next block. Cuts the block at a Ctrl-Z, which ends the input
// in text mode; a read error ends the input too.
bool refill(LibraryStream& stream) {
    stream.position = 0;
    stream.filled = 0;
    if (stream.sourceDone || !stream.file) {
        return false;
    }
    std::size_t got = std::fread(stream.buffer.data(), 1, stream.buffer.size(), stream.file);
    if (got < stream.buffer.size()) {
        stream.sourceDone = true;
    }
    if (const void* stop = std::memchr(stream.buffer.data(), kCtrlZ, got)) {
        got = static_cast<std::size_t>(static_cast<const char*>(stop) - stream.buffer.data());
        stream.sourceDone = true;
    }
    stream.filled = got;
    return got > 0;
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
}

void readLine() {
    currentLine.clear();
    LibraryStream& stream = libraryStream;
    for (;;) {
        if (stream.position == stream.filled && !refill(stream)) {
            stream.atEnd = true;
            return;
        }
        const char* start = stream.buffer.data() + stream.position;
        std::size_t available = stream.filled - stream.position;
        const void* found = std::memchr(start, '\n', available);
        if (!found) {
            currentLine.append(start, available);
            stream.position = stream.filled;
            continue;
        }
        std::size_t length = static_cast<std::size_t>(static_cast<const char*>(found) - start);
        currentLine.append(start, length);
        stream.position += length + 1;
        // CR LF reads as LF; the CR may have come at the end of the previous block.
        if (!currentLine.empty() && currentLine.back() == '\r') {
            currentLine.pop_back();
        }
        return;
    }
}

bool atEndOfInput() {
    return libraryStream.atEnd;
}

bool lineContains(std::string_view tag) {
    return currentLine.find(tag) != std::string::npos;
}

bool lineIs(std::string_view text) {
    return currentLine == text;
}

std::string extractBetween(std::string_view open, std::string_view close,
                           const std::string& line) {
    std::size_t openAt = line.find(open);
    if (openAt == std::string::npos) {
        return line;
    }
    std::size_t start = openAt + open.size();
    std::size_t closeAt = line.find(close);
    if (closeAt != std::string::npos && closeAt >= start) {
        return line.substr(start, closeAt - start);
    }
    return line.substr(start);
}

std::string keyOf(const std::string& line) {
    return extractBetween("<key>", "</key>", line);
}
