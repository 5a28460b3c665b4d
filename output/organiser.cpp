#include "output/organiser.h"

#include "library/track_record.h"
#include "output/artwork.h"
#include "output/folder_names.h"
#include "output/list_rows.h"
#include "output/list_store.h"
#include "platform/files.h"

namespace {

const char* const kCompilationsFolder = "Compilations";

void mergeIntoErrorList(const std::string& row) {
    trackRecord.errorListMode = true;
    mergeListRow("errlist.csv", row, trackRecord.fileName);
}

// A folder name from the export is used as a path level only when it cannot lead out of
// its parent. A track with a file name also needs non-empty folder names: an empty album
// name would make the album's path that of its artist folder, and the track's row would
// land in the artist folder's album list.
bool folderNamesUsable(const TrackRecord& track) {
    bool artistUsed = !track.isCompilation;
    if (artistUsed && !isSafeFolderName(track.artistFolder, track.artistFolderSjis)) {
        return false;
    }
    if (!isSafeFolderName(track.albumFolder, track.albumFolderSjis)) {
        return false;
    }
    if (track.fileName.empty()) {
        return true;
    }
    return !track.albumFolderSjis.empty() && (!artistUsed || !track.artistFolderSjis.empty());
}

void placeTrack() {
    TrackRecord& track = trackRecord;
    std::string row = trackRow(track);
    if (!folderNamesUsable(track)) {
        mergeIntoErrorList(row);
        return;
    }

    std::string artistPath;
    if (track.isCompilation) {
        artistPath = std::string("Music/") + kCompilationsFolder;
        if (platform::makeFolder(artistPath)) {
            mergeListRow("list.csv", indexRow(kCompilationsFolder, kCompilationsFolder),
                         kCompilationsFolder);
        }
    } else {
        artistPath = "Music/" + track.artistFolderSjis;
        if (platform::makeFolder(artistPath)) {
            const std::string& shown = track.hasAlbumArtist ? track.albumArtist : track.artist;
            mergeListRow("list.csv", indexRow(track.artistFolder, shown), track.artistFolder);
        }
    }

    std::string albumPath = artistPath + "/" + track.albumFolderSjis;
    if (platform::makeFolder(albumPath)) {
        mergeListRow(artistPath + "/list.csv", indexRow(track.albumFolder, track.album),
                     track.albumFolder);
        track.albumFolderCreated = true;
    }

    if (track.fileName.empty()) {
        mergeIntoErrorList(row);
    } else if (!mergeListRow(albumPath + "/list.csv", row, track.fileName, ListKind::tracks)) {
        // The album's list could not take the row (no folder, a refused name, a write
        // error): keep the track in the error list rather than lose it.
        mergeIntoErrorList(row);
    }

    if (track.albumFolderCreated) {
        extractArtwork(track.location, albumPath);
    }
}

}  // namespace

void organiseTrack() {
    placeTrack();
    checkpointListsIfDue();
}
