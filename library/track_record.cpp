#include "library/track_record.h"

namespace {

TrackRecord ownRecord;

}  // namespace

TrackRecord* currentTrackRecord = &ownRecord;

void useTrackRecord(TrackRecord* record) {
    currentTrackRecord = record ? record : &ownRecord;
}

std::string TrackRecord::*const kRecordStrings[19] = {
    &TrackRecord::name,         &TrackRecord::artist,
    &TrackRecord::albumArtist,  &TrackRecord::composer,
    &TrackRecord::album,        &TrackRecord::genre,
    &TrackRecord::totalTime,    &TrackRecord::discNumber,
    &TrackRecord::discCount,    &TrackRecord::trackNumber,
    &TrackRecord::trackCount,   &TrackRecord::year,
    &TrackRecord::dateAdded,    &TrackRecord::location,
    &TrackRecord::artistFolder, &TrackRecord::artistFolderSjis,
    &TrackRecord::albumFolder,  &TrackRecord::albumFolderSjis,
    &TrackRecord::fileName};

void clearTrackRecord() {
    TrackRecord& record = trackRecord();
    // Clearing each string keeps its capacity, which saves an allocation per field per
    // track on large libraries.
    for (std::string TrackRecord::*field : kRecordStrings) {
        (record.*field).clear();
    }
    record.errorNotes.clear();
    record.hasAlbumArtist = false;
    record.isCompilation = false;
    record.albumFolderCreated = false;
    record.errorListMode = false;
}
