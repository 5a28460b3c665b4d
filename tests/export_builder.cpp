#include "tests/export_builder.h"

namespace testing_support {

std::string stringValue(const std::string& text) {
    return "<string>" + text + "</string>";
}

std::string integerValue(const std::string& digits) {
    return "<integer>" + digits + "</integer>";
}

std::string locationValue(const std::string& escapedPath) {
    return stringValue("file://localhost/" + escapedPath);
}

std::string exportText(const std::vector<std::vector<Entry>>& tracks, bool withPlaylists,
                       const std::string& musicFolder) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
        "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n"
        "<dict>\n"
        "\t<key>Major Version</key><integer>1</integer>\n"
        "\t<key>Application Version</key><string>12.10.2.3</string>\n";
    if (!musicFolder.empty()) {
        text += "\t<key>Music Folder</key>" + stringValue(musicFolder) + "\n";
    }
    text += "\t<key>Tracks</key>\n\t<dict>\n";
    int id = 100;
    for (const std::vector<Entry>& track : tracks) {
        text += "\t\t<key>" + std::to_string(id) + "</key>\n\t\t<dict>\n";
        text += "\t\t\t<key>Track ID</key><integer>" + std::to_string(id) + "</integer>\n";
        for (const Entry& entry : track) {
            text += "\t\t\t<key>" + entry.key + "</key>" + entry.value + "\n";
        }
        text += "\t\t</dict>\n";
        ++id;
    }
    text += "\t</dict>\n";
    if (withPlaylists) {
        text +=
            "\t<key>Playlists</key>\n"
            "\t<array>\n"
            "\t\t<dict>\n"
            "\t\t\t<key>Name</key><string>Library</string>\n"
            "\t\t</dict>\n"
            "\t</array>\n";
    }
    text += "</dict>\n</plist>\n";
    return text;
}

}  // namespace testing_support
