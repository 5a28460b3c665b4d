#include "library/location.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "library/error_notes.h"
#include "library/line_reader.h"
#include "library/media_folder.h"
#include "library/track_record.h"
#include "library/xml_text.h"
#include "output/folder_names.h"
#include "platform/files.h"

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The folders in which the media player keeps kinds of media other than music, and its own
// folders. In the older layout they stand among the artist folders.
const std::string_view kMediaKindFolders[] = {
    "Music",
    "Movies",
    "TV Shows",
    "Podcasts",
    "Audiobooks",
    "Books",
    "iTunes U",
    "Home Videos",
    "Music Videos",
    "Voice Memos",
    "Tones",
    "Ringtones",
    "Mobile Applications",
    "Automatically Add to iTunes",
    "Automatically Add to Music",
    "Downloads",
};

char foldedAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsIgnoringAsciiCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) {
        return false;
    }
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (foldedAscii(text[i]) != foldedAscii(start[i])) {
            return false;
        }
    }
    return true;
}

// The non-empty components of `path` between "/", counted up to `limit` (runs of "/" count
// as one, as splitMusicPath reads them).
std::size_t componentCount(std::string_view path, std::size_t limit) {
    std::size_t count = 0;
    std::size_t at = path.find_first_not_of('/');
    while (at != std::string_view::npos && count < limit) {
        ++count;
        at = path.find('/', at);
        at = at == std::string_view::npos ? at : path.find_first_not_of('/', at);
    }
    return count;
}

bool isMediaKindFolder(std::string_view component) {
    std::string name = decodeXmlEscapes(std::string(component));
    urlDecode(name);
    for (std::string_view kind : kMediaKindFolders) {
        if (name.size() == kind.size() && startsIgnoringAsciiCase(name, kind)) {
            return true;
        }
    }
    return false;
}

}  // namespace

int urlDecode(std::string& text) {
    std::size_t percent = text.find('%');
    if (percent == std::string::npos) {
        return 0;
    }
    // Byte by byte into a buffer of the text's size (decoding only shortens it): a name in
    // Japanese is almost all escapes, three to a character, and a call per escape would cost
    // more than the decoding.
    std::string decoded(text.size(), '\0');
    const char* in = text.data();
    const std::size_t size = text.size();
    char* out = &decoded[0];
    std::memcpy(out, in, percent);
    std::size_t written = percent;
    for (std::size_t at = percent; at < size;) {
        if (in[at] != '%') {
            out[written++] = in[at++];
            continue;
        }
        int high = at + 1 < size ? hexValue(in[at + 1]) : -1;
        int low = at + 2 < size ? hexValue(in[at + 2]) : -1;
        if (high < 0 || low < 0) {
            return -1;
        }
        char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0') {
            decoded.resize(written);
            text.swap(decoded);
            return -1;
        }
        out[written++] = byte;
        at += 3;
    }
    decoded.resize(written);
    text.swap(decoded);
    return 0;
}

std::string musicRelativePath(std::string_view line, const std::string& mediaFolderUrl) {
    if (line.find("Media/Music/") != std::string_view::npos) {
        return std::string(extractBetween("Media/Music/", "</string>", line));
    }
    if (mediaFolderUrl.empty()) {
        return {};
    }
    std::string_view rest = extractBetween("<string>", "</string>", line);
    if (!startsIgnoringAsciiCase(rest, mediaFolderUrl)) {
        return {};
    }
    rest.remove_prefix(mediaFolderUrl.size());
    // A media folder named without its final "/" must not take in a folder whose name
    // merely begins like it.
    if (mediaFolderUrl.back() != '/' && (rest.empty() || rest.front() != '/')) {
        return {};
    }
    rest.remove_prefix(std::min(rest.size(), rest.find_first_not_of('/')));
    constexpr std::string_view kOwnMusicFolder = "Music/";
    if (startsIgnoringAsciiCase(rest, kOwnMusicFolder)) {
        std::string_view belowMusic = rest.substr(kOwnMusicFolder.size());
        if (componentCount(belowMusic, 3) == 3) {
            return std::string(belowMusic);
        }
    }
    if (componentCount(rest, 4) == 3 && !isMediaKindFolder(rest.substr(0, rest.find('/')))) {
        return std::string(rest);
    }
    return {};
}

void resolveLocation(std::string_view line) {
    if (line.find(kLoopbackMarker) != std::string_view::npos) {
        std::string path = decodeXmlEscapes(extractBetween(kLoopbackMarker, "</string>", line));
        if (urlDecode(path) != 0) {
            appendErrorNote("no files");
        }
        trackRecord.location = platform::localFilePath(path);
    }
    std::string relativePath = musicRelativePath(line, mediaFolderUrl);
    if (!relativePath.empty()) {
        splitMusicPath(relativePath);
    }
}
