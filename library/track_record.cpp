#include "library/track_record.h"

namespace {

TrackRecord ownRecord;

}  // namespace

TrackRecord* currentTrackRecord = &ownRecord;

void useTrackRecord(TrackRecord* record) {
    currentTrackRecord = record ? record : &ownRecord;
}

void clearTrackRecord() {
    TrackRecord& record = trackRecord();
    // Assigning each string keeps its capacity, which saves an allocation per field per
    // track on large libraries.
    for (std::string* field :
         {&record.name, &record.artist, &record.albumArtist, &record.composer, &record.album,
          &record.genre, &record.totalTime, &record.discNumber, &record.discCount,
          &record.trackNumber, &record.trackCount, &record.year, &record.dateAdded,
          &record.location, &record.artistFolder, &record.artistFolderSjis, &record.albumFolder,
          &record.albumFolderSjis, &record.fileName}) {
        field->clear();
    }
    record.errorNotes.clear();
    record.hasAlbumArtist = false;
    record.isCompilation = false;
    record.albumFolderCreated = false;
    record.errorListMode = false;
}
