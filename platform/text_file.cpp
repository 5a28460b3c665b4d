#include "platform/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace platform {

namespace {

std::size_t countLineFeeds(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) {
        count += c == '\n';
    }
    return count;
}

bool writeAll(std::FILE* file, const std::string& bytes) {
    return writeFile(file, bytes.data(), bytes.size()) && flushFile(file);
}

}  // namespace

std::string toStoredText(const std::string& text) {
    std::string stored;
    stored.reserve(text.size() + text.size() / 32 + 16);
    std::size_t done = 0;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', done)) {
        stored.append(text, done, at - done);
        stored += "\r\n";
        done = at + 1;
    }
    stored.append(text, done, std::string::npos);
    return stored;
}

std::string fromStoredText(const char* data, std::size_t size) {
    if (const void* stop = std::memchr(data, 0x1A, size)) {
        size = static_cast<std::size_t>(static_cast<const char*>(stop) - data);
    }
    std::string text;
    text.reserve(size);
    std::size_t done = 0;
    while (const void* found = std::memchr(data + done, '\r', size - done)) {
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(found) - data);
        // The CR of a CR LF is dropped; any other CR stays.
        const bool lineEnd = at + 1 < size && data[at + 1] == '\n';
        text.append(data + done, at - done + (lineEnd ? 0 : 1));
        done = at + 1;
    }
    text.append(data + done, size - done);
    return text;
}

TextRead readTextFile(const std::string& path, std::string& content, bool* asStored) {
    std::string raw;
    if (!readWholeFile(path, raw)) {
        return errno == ENOENT ? TextRead::missing : TextRead::failed;
    }
    content = fromStoredText(raw.data(), raw.size());
    if (asStored) {
        // Each CR LF became LF; any other LF or a Ctrl-Z would be written differently.
        *asStored = std::memchr(raw.data(), 0x1A, raw.size()) == nullptr &&
                    raw.size() == content.size() + countLineFeeds(content);
    }
    return TextRead::ok;
}

bool replaceTextFile(const std::string& path, const std::string& content) {
    std::string replacement;
    std::FILE* file = createReplacementFile(path, replacement);
    if (!file) {
        return false;
    }
    bool written = writeAll(file, toStoredText(content));
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
    const bool written = writeAll(file, toStoredText(content));
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
