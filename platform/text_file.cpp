#include "platform/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace platform {

namespace {

std::size_t countLineFeeds(const std::string& text) {
    // A list has a line feed every hundred bytes or so: looked for, not counted byte by byte.
    std::size_t count = 0;
    const char* end = text.data() + text.size();
    for (const char* at = text.data();
         (at = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at))));
         ++at) {
        ++count;
    }
    return count;
}

bool writeAll(std::FILE* file, const std::string& bytes) {
    return writeFile(file, bytes.data(), bytes.size()) && flushFile(file);
}

// Appends to `stored` the bytes of `text` from `done` on as stored, each LF as CR LF, until
// `stored` holds at least `limit` bytes or the text ends; `done` moves past what was taken.
void appendStored(std::string& stored, const std::string& text, std::size_t& done,
                  std::size_t limit) {
    while (done < text.size() && stored.size() < limit) {
        const std::size_t at = text.find('\n', done);
        if (at == std::string::npos) {
            stored.append(text, done, std::string::npos);
            done = text.size();
            return;
        }
        stored.append(text, done, at - done);
        stored += "\r\n";
        done = at + 1;
    }
}

// Writes `text` as stored and flushes it. In pieces: the error list can hold tens of
// megabytes, and a second copy of it would only cost memory and time.
bool writeStoredText(std::FILE* file, const std::string& text) {
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    std::string piece;
    piece.reserve(kPiece + 64);
    for (std::size_t done = 0; done < text.size();) {
        piece.clear();
        appendStored(piece, text, done, kPiece);
        if (!writeFile(file, piece.data(), piece.size())) {
            return false;
        }
    }
    return flushFile(file);
}

}  // namespace

std::string toStoredText(const std::string& text) {
    std::string stored;
    stored.reserve(text.size() + text.size() / 32 + 16);
    std::size_t done = 0;
    appendStored(stored, text, done, std::string::npos);
    return stored;
}

namespace {

// Turns stored bytes into text in place: cut at a Ctrl-Z, each CR LF made LF (any other CR
// stays). Returns the number of CR LF pairs.
std::size_t storedToText(std::string& bytes) {
    std::size_t size = bytes.size();
    char* data = &bytes[0];
    if (const void* stop = std::memchr(data, 0x1A, size)) {
        size = static_cast<std::size_t>(static_cast<const char*>(stop) - data);
    }
    std::size_t written = 0;
    std::size_t done = 0;
    std::size_t pairs = 0;
    while (const void* found = std::memchr(data + done, '\r', size - done)) {
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(found) - data);
        const bool lineEnd = at + 1 < size && data[at + 1] == '\n';
        const std::size_t kept = at - done + (lineEnd ? 0 : 1);
        std::memmove(data + written, data + done, kept);
        written += kept;
        pairs += lineEnd;
        done = at + 1;
    }
    std::memmove(data + written, data + done, size - done);
    bytes.resize(written + size - done);
    return pairs;
}

}  // namespace

std::string fromStoredText(const char* data, std::size_t size) {
    std::string text(data, size);
    storedToText(text);
    return text;
}

TextRead readTextFile(const std::string& path, std::string& content, bool* asStored) {
    if (!readWholeFile(path, content)) {
        return errno == ENOENT ? TextRead::missing : TextRead::failed;
    }
    // Converted where it was read: a rerun reads every list.
    const std::size_t size = content.size();
    const std::size_t pairs = storedToText(content);
    if (asStored) {
        // Each CR LF became LF; any other LF or a Ctrl-Z would be written differently.
        *asStored = size == content.size() + pairs && countLineFeeds(content) == pairs;
    }
    return TextRead::ok;
}

bool replaceTextFile(const std::string& path, const std::string& content) {
    std::string replacement;
    std::FILE* file = createReplacementFile(path, replacement);
    if (!file) {
        return false;
    }
    bool written = writeStoredText(file, content);
    return commitReplacementFile(file, replacement, path, written);
}

bool writeTextFile(const std::string& path, const std::string& content, bool fresh) {
    if (!fresh) {
        return replaceTextFile(path, content);
    }
    std::FILE* file = createNewFile(path);
    if (!file) {
        return errno == EEXIST && replaceTextFile(path, content);
    }
    const bool written = writeStoredText(file, content);
    if (closeFile(file) && written) {
        return true;
    }
    removeFile(path);
    return false;
}

bool appendTextLine(const std::string& path, const std::string& line) {
    std::FILE* file = openFile(path, "ab");
    if (!file) {
        return false;
    }
    bool written = writeAll(file, line + "\r\n");
    bool closed = closeFile(file);
    return written && closed;
}

}  // namespace platform
