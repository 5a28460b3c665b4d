// The record of the track whose dictionary is being read. There is one at a time,
// program-wide: the tracks loop clears it for every track, the parser fills it line by line,
// and the organiser takes it once the track's dictionary has ended.
#pragma once

#include <string>
#include <vector>

struct TrackRecord {
    // UTF-8 text as the export holds it, escapes decoded; numbers and dates as written.
    std::string name;
    std::string artist;
    std::string albumArtist;
    std::string composer;
    std::string album;
    std::string genre;
    std::string totalTime;
    std::string discNumber;
    std::string discCount;
    std::string trackNumber;
    std::string trackCount;
    std::string year;
    std::string dateAdded;

    // The music file's local path, in the file-name encoding of the platform.
    std::string location;

    // The three components of the path below "Media/Music/", decoded (UTF-8), and the
    // folder names in code page 932 for the folders the program creates.
    std::string artistFolder;
    std::string artistFolderSjis;
    std::string albumFolder;
    std::string albumFolderSjis;
    std::string fileName;

    // Words for "err.csv" that reading the track gave, in order: they are noted when the
    // track is organised.
    std::vector<std::string> errorNotes;

    bool hasAlbumArtist = false;      // the key "Album Artist" occurred, even with no value
    bool isCompilation = false;       // the key "Compilation" occurred, whatever its value
    bool albumFolderCreated = false;  // this track created its album folder
    bool errorListMode = false;       // this track's row goes to the error list
};

// The record's strings, for what is done to each of them alike.
extern std::string TrackRecord::*const kRecordStrings[19];

// Where the record being filled lies: the program's own record, unless the organiser has
// given the reader a place of its queue to fill, so that a track read is handed over where it
// lies instead of being copied there. Null stands for the program's own record.
void useTrackRecord(TrackRecord* record);

extern TrackRecord* currentTrackRecord;

// The record being filled.
inline TrackRecord& trackRecord() {
    return *currentTrackRecord;
}

// Empties every field and lowers every flag, so nothing of one track leaks into the next.
void clearTrackRecord();
