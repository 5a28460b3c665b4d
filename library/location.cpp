#include "library/location.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "encoding/shift_jis.h"
#include "encoding/url_text.h"
#include "encoding/xml_text.h"
#include "library/line_reader.h"
#include "library/media_folder.h"
#include "library/track_record.h"
#include "platform/files.h"

namespace {

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

// True when `name` holds a byte that no name in a list row may hold: the line feed or the
// text-mode end (Ctrl-Z). Two searches for one byte each are much quicker than
// find_first_of, which looks each byte of the name up in the set.
bool breaksRows(const std::string& name) {
    return std::memchr(name.data(), '\n', name.size()) != nullptr ||
           std::memchr(name.data(), 0x1A, name.size()) != nullptr;
}

struct Component {
    std::string TrackRecord::*utf8;
    std::string TrackRecord::*sjis;  // nullptr for the file name
    const char* noteWord;
};

const Component kComponents[] = {
    {&TrackRecord::artistFolder, &TrackRecord::artistFolderSjis, "artist"},
    {&TrackRecord::albumFolder, &TrackRecord::albumFolderSjis, "album"},
    {&TrackRecord::fileName, nullptr, "name"},
};

}  // namespace

std::string_view musicRelativePath(std::string_view line, const std::string& mediaFolderUrl) {
    constexpr std::string_view kMusicMarker = "Media/Music/";
    const std::size_t music = line.find(kMusicMarker);
    if (music != std::string_view::npos) {
        return valueFrom(music + kMusicMarker.size(), "</string>", line);
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
            return belowMusic;
        }
    }
    if (componentCount(rest, 4) == 3 && !isMediaKindFolder(rest.substr(0, rest.find('/')))) {
        return rest;
    }
    return {};
}

void resolveLocation(std::string_view line) {
    const std::string_view marker = kLoopbackMarker;
    const std::size_t url = line.find(marker);
    if (url != std::string_view::npos) {
        // Decoded in the record's field, which keeps its capacity from track to track.
        std::string& path = trackRecord().location;
        path.clear();
        appendXmlDecoded(path, valueFrom(url + marker.size(), "</string>", line));
        if (urlDecode(path) != 0) {
            trackRecord().errorNotes.emplace_back("no files");
        }
        platform::toLocalFilePath(path);
    }
    const std::string_view relativePath = musicRelativePath(line, mediaFolderUrl);
    if (!relativePath.empty()) {
        splitMusicPath(relativePath);
    }
}

namespace {

// Decodes one component of a music path into `name` (XML escapes, then URL escapes); false
// when an escape was malformed or was left undecoded. A name stands in a list row: a line
// feed in it would split the row, and a Ctrl-Z would end the list for whoever reads it
// back, so an escape that gives one is not decoded, like a malformed one: the name is then
// made again from the text, which is rare enough not to keep a copy of it for every name.
bool decodeComponent(std::string_view text, std::string& name) {
    name.clear();
    appendXmlDecoded(name, text);
    if (name.find('%') == std::string::npos) {
        return !breaksRows(name);
    }
    const bool clean = urlDecode(name) == 0;
    if (breaksRows(name)) {
        name.clear();
        appendXmlDecoded(name, text);
        return false;
    }
    return clean;
}

// An artist or album folder of a path split, as the path wrote it and as decoded: most
// tracks lie in the folders of the track before, or of the one before it when a track of
// another album came between.
struct DecodedFolder {
    std::string text;
    std::string name;
    std::string sjis;
    bool clean = true;
};

}  // namespace

void splitMusicPath(std::string_view relativePath) {
    static DecodedFolder lastFolders[2][2];  // by level, the last one met first
    std::size_t at = 0;
    for (std::size_t index = 0; index < 3; ++index) {
        const Component& component = kComponents[index];
        at = relativePath.find_first_not_of('/', at);
        if (at == std::string_view::npos) {
            return;
        }
        std::size_t end = std::min(relativePath.find('/', at), relativePath.size());
        const std::string_view text = relativePath.substr(at, end - at);
        std::string& name = trackRecord().*component.utf8;
        bool clean;
        if (!component.sjis) {
            clean = decodeComponent(text, name);
        } else {
            DecodedFolder* recent = lastFolders[index];
            if (text != recent[0].text) {
                std::swap(recent[0], recent[1]);
                if (text != recent[0].text) {
                    recent[0].text.assign(text);
                    recent[0].clean = decodeComponent(text, recent[0].name);
                    recent[0].sjis = folderNameToShiftJis(recent[0].name);
                }
            }
            const DecodedFolder& last = recent[0];
            name = last.name;
            trackRecord().*component.sjis = last.sjis;
            clean = last.clean;
        }
        if (!clean) {
            trackRecord().errorNotes.emplace_back(component.noteWord);
        }
        at = end;
    }
}
