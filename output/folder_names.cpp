#include "output/folder_names.h"

#include <cctype>
#include <cstring>

#include "encoding/shift_jis.h"
#include "library/error_notes.h"
#include "library/location.h"
#include "library/track_record.h"
#include "library/xml_text.h"

namespace {

bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool onlyDotsAndBlanks(const std::string& name) {
    return name.find_first_not_of(". ") == std::string::npos;
}

bool holdsSeparator(const std::string& name, bool doubleByte) {
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(name[i]);
        if (doubleByte && isLeadByte(byte)) {
            ++i;
        } else if (byte == '/' || byte == '\\') {
            return true;
        }
    }
    return false;
}

// Bytes that no name in a list row may hold: the line feed and the text-mode end (Ctrl-Z).
const char kBreaksRows[] = "\n\x1A";

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

void splitMusicPath(const std::string& relativePath) {
    std::size_t at = 0;
    for (const Component& component : kComponents) {
        at = relativePath.find_first_not_of('/', at);
        if (at == std::string::npos) {
            return;
        }
        std::size_t end = relativePath.find('/', at);
        if (end == std::string::npos) {
            end = relativePath.size();
        }
        std::string text = decodeXmlEscapes(relativePath.substr(at, end - at));
        std::string decoded = text;
        bool clean = urlDecode(decoded) == 0;
        if (decoded.find_first_of(kBreaksRows) != std::string::npos) {
            // A name stands in a list row: a line feed in it would split the row, and a
            // Ctrl-Z would end the list for whoever reads it back. Such an escape is not
            // decoded, like a malformed one.
            decoded = text;
            clean = false;
        }
        if (!clean) {
            appendErrorNote(component.noteWord);
        }
        text = decoded;
        trackRecord.*component.utf8 = text;
        if (component.sjis) {
            trackRecord.*component.sjis = folderNameToShiftJis(text);
        }
        at = end;
    }
}

bool windowsAcceptsFolderName(const std::string& sjis) {
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(sjis[i]);
        if (isLeadByte(byte)) {
            ++i;
        } else if (byte < 0x20 || std::strchr("<>:\"|?*", byte)) {
            return false;
        }
    }
    std::string stem = sjis.substr(0, sjis.find('.'));
    for (char& c : stem) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (stem == device) {
            return false;
        }
    }
    bool numberedDevice =
        stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0);
    return !(numberedDevice && stem[3] >= '1' && stem[3] <= '9');
}

std::string windowsFolderName(const std::string& sjis) {
    // Dots and blanks are single bytes that are never the trail byte of a double-byte
    // character, so they can be cut from the end byte by byte.
    std::size_t end = sjis.find_last_not_of(". ");
    return end == std::string::npos ? std::string() : sjis.substr(0, end + 1);
}

bool isSafeFolderName(const std::string& utf8, const std::string& sjis) {
    if (utf8.empty() && sjis.empty()) {
        return true;
    }
    return !onlyDotsAndBlanks(utf8) && !holdsSeparator(utf8, false) && isSafePathLevel(sjis);
}

bool isSafePathLevel(const std::string& sjis) {
    return !onlyDotsAndBlanks(sjis) && !holdsSeparator(sjis, true);
}
