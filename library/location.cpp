#include "library/location.h"

#include "library/error_notes.h"
#include "library/line_reader.h"
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

}  // namespace

int urlDecode(std::string& text) {
    std::size_t percent = text.find('%');
    if (percent == std::string::npos) {
        return 0;
    }
    std::string decoded;
    decoded.reserve(text.size());
    std::size_t done = 0;
    while (percent != std::string::npos) {
        decoded.append(text, done, percent - done);
        int high = percent + 1 < text.size() ? hexValue(text[percent + 1]) : -1;
        int low = percent + 2 < text.size() ? hexValue(text[percent + 2]) : -1;
        if (high < 0 || low < 0) {
            return -1;
        }
        char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0') {
            text = decoded;
            return -1;
        }
        decoded += byte;
        done = percent + 3;
        percent = text.find('%', done);
    }
    decoded.append(text, done, std::string::npos);
    text = decoded;
    return 0;
}

void resolveLocation(std::string_view line) {
    if (lineContains(kLoopbackMarker)) {
        std::string path = decodeXmlEscapes(extractBetween(kLoopbackMarker, "</string>", line));
        if (urlDecode(path) != 0) {
            appendErrorNote("no files");
        }
        trackRecord.location = platform::localFilePath(path);
    }
    if (lineContains("Media/Music/")) {
        splitMusicPath(std::string(extractBetween("Media/Music/", "</string>", line)));
    }
}
