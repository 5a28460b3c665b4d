#include "library/track_record.h"

TrackRecord trackRecord;

void clearTrackRecord() {
    // Assigning each string keeps its capacity, which saves an allocation per field per
    // track on large libraries.
    for (std::string* field :
         {&trackRecord.name, &trackRecord.artist, &trackRecord.albumArtist, &trackRecord.composer,
          &trackRecord.album, &trackRecord.genre, &trackRecord.totalTime, &trackRecord.discNumber,
          &trackRecord.discCount, &trackRecord.trackNumber, &trackRecord.trackCount,
          &trackRecord.year, &trackRecord.dateAdded, &trackRecord.location,
          &trackRecord.artistFolder, &trackRecord.artistFolderSjis, &trackRecord.albumFolder,
          &trackRecord.albumFolderSjis, &trackRecord.fileName}) {
        field->clear();
    }
    trackRecord.errorNotes.clear();
    trackRecord.hasAlbumArtist = false;
    trackRecord.isCompilation = false;
    trackRecord.albumFolderCreated = false;
    trackRecord.errorListMode = false;
}
