#include "output/folder_names.h"

#include <cctype>
#include <cstring>

namespace {

bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

bool onlyDotsAndBlanks(const std::string& name) {
    // A plain loop: find_first_not_of looks each byte up in its set with a call.
    for (char c : name) {
        if (c != '.' && c != ' ') {
            return false;
        }
    }
    return true;
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

}  // namespace

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
