// Builds small exports in the layout the media player writes, for the end-to-end tests.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// One entry line of a track: a key and its value element, e.g. ("Name", "<string>x</string>").
struct Entry {
    std::string key;
    std::string value;
};

std::string stringValue(const std::string& text);
std::string integerValue(const std::string& digits);

// A file URL as the media player writes it for a path below the working folder, e.g.
// "file://localhost/Media/Music/A/B/01.mp3" for "Media/Music/A/B/01.mp3" (already
// escaped); the music files can then sit in the test's working folder.
std::string locationValue(const std::string& escapedPath);

// The whole export: header entries (a "Music Folder" entry with `musicFolder`, none when it
// is empty), a tracks dictionary with these tracks (each a list of entry lines), and a
// playlists array unless `withPlaylists` is false.
std::string exportText(const std::vector<std::vector<Entry>>& tracks, bool withPlaylists = true,
                       const std::string& musicFolder = "file://localhost/Media/");

}  // namespace testing_support
