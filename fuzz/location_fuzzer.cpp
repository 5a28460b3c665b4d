// Location lines: the URL decoding, the split into folder names, and whether the folder
// names that pass as safe can lead out of the working folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "encoding/shift_jis.h"
#include "encoding/url_text.h"
#include "fuzz/fuzz_support.h"
#include "library/line_reader.h"
#include "library/location.h"
#include "library/track_record.h"
#include "output/folder_names.h"

namespace {

using fuzzing::check;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// urlDecode written out from its promise, escape by escape, to compare against.
int expectedUrlDecode(const std::string& text, std::string& decoded) {
    decoded.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        int high = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        int low = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
        if (high < 0 || low < 0) {
            decoded = text;
            return -1;
        }
        if (high == 0 && low == 0) {
            return -1;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return 0;
}

void checkUrlDecode(const std::string& input) {
    std::string text = input;
    const int result = urlDecode(text);
    check(text.size() <= input.size(), "urlDecode made the text longer");
    std::string expected;
    const int expectedResult = expectedUrlDecode(input, expected);
    check(result == expectedResult, "urlDecode gave the wrong result code");
    check(text == expected, "urlDecode gave the wrong text");
}

bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The levels of a path as Windows reads it in code page 932: "/" and "\" separate them
// unless they are the trail byte of a double-byte character, and trailing dots and blanks
// of a level are dropped.
std::vector<std::string> windowsLevels(const std::string& path) {
    std::vector<std::string> levels(1);
    for (std::size_t i = 0; i < path.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(path[i]);
        if (isLeadByte(byte) && i + 1 < path.size()) {
            levels.back() += path.substr(i, 2);
            ++i;
        } else if (byte == '/' || byte == '\\') {
            levels.emplace_back();
        } else {
            levels.back() += path[i];
        }
    }
    for (std::string& level : levels) {
        const std::size_t kept = level.find_last_not_of(". ");
        if (kept != std::string::npos) {
            level.resize(kept + 1);
        }
    }
    return levels;
}

// The levels as POSIX reads the path: bytes between "/".
std::vector<std::string> posixLevels(const std::string& path) {
    std::vector<std::string> levels(1);
    for (char c : path) {
        if (c == '/') {
            levels.emplace_back();
        } else {
            levels.back() += c;
        }
    }
    return levels;
}

// "Music/<artist>/<album>" must name a folder two levels below "Music", or "Music" itself
// or one level below it where a name is empty, and never climb.
void checkStaysInside(const std::vector<std::string>& levels) {
    check(levels.size() <= 3, "a safe folder name added a level to the path");
    for (const std::string& level : levels) {
        check(level != "." && level != "..", "a path of safe folder names climbs or stays put");
    }
}

void checkFolderName(const std::string& utf8, const std::string& sjis) {
    check(sjis == utf8ToShiftJis(utf8), "a folder's code page 932 name is not its conversion");
    if (!isSafeFolderName(utf8, sjis)) {
        return;
    }
    for (std::size_t i = 0; i < sjis.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(sjis[i]);
        if (isLeadByte(byte)) {
            ++i;
        } else {
            check(byte != '/' && byte != '\\', "a safe folder name holds a separator");
        }
    }
    check(utf8.find('/') == std::string::npos && utf8.find('\\') == std::string::npos,
          "a safe folder name holds a separator in UTF-8");
}

// The name a safe folder is made by, on every build, must still be one safe level.
void checkMadeName(const std::string& utf8, const std::string& sjis) {
    if (sjis.empty() || !isSafeFolderName(utf8, sjis)) {
        return;
    }
    const std::string made = windowsFolderName(sjis);
    check(isSafePathLevel(made), "a safe folder name is made as an unsafe one");
    checkStaysInside(posixLevels("Music/" + made + "/x"));
}

void checkTrackFolders() {
    const TrackRecord& track = trackRecord;
    checkFolderName(track.artistFolder, track.artistFolderSjis);
    checkFolderName(track.albumFolder, track.albumFolderSjis);
    checkMadeName(track.artistFolder, track.artistFolderSjis);
    checkMadeName(track.albumFolder, track.albumFolderSjis);
    if (isSafeFolderName(track.artistFolder, track.artistFolderSjis) &&
        isSafeFolderName(track.albumFolder, track.albumFolderSjis)) {
        const std::string path = "Music/" + track.artistFolderSjis + "/" + track.albumFolderSjis;
        checkStaysInside(windowsLevels(path));
        checkStaysInside(posixLevels("Music/" + track.artistFolder + "/" + track.albumFolder));
        checkStaysInside(posixLevels("Music/" + windowsFolderName(track.artistFolderSjis) + "/" +
                                     windowsFolderName(track.albumFolderSjis)));
    }
}

// The notes "err.csv" may hold after one Location line.
void checkNotes() {
    if (!fuzzing::pathExists("err.csv")) {
        return;
    }
    const std::string notes = fuzzing::readWholeFile("err.csv");
    check(notes.size() <= std::string("no files\r\nartist\r\nalbum\r\nname\r\n").size(),
          "one Location line left more notes than it has parts");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::startInScratchFolder();
    const std::string input = fuzzing::bytesOf(data, size);

    checkUrlDecode(input);

    currentLine = input;
    clearTrackRecord();
    resolveLocation(currentLine);
    checkTrackFolders();
    checkNotes();

    // The same name checks on the input taken whole as one folder name.
    checkFolderName(input, utf8ToShiftJis(input));
    checkMadeName(input, utf8ToShiftJis(input));
    if (isSafeFolderName(input, utf8ToShiftJis(input))) {
        checkStaysInside(windowsLevels("Music/" + utf8ToShiftJis(input) + "/x"));
        checkStaysInside(posixLevels("Music/" + input + "/x"));
    }
    fuzzing::checkNothingOutside();
    return 0;
}
