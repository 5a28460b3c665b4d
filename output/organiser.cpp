#include "output/organiser.h"

#include <unordered_set>

#include "library/track_record.h"
#include "output/artwork.h"
#include "output/folder_names.h"
#include "output/list_rows.h"
#include "output/list_store.h"
#include "platform/files.h"

namespace {

const char* const kCompilationsFolder = "Compilations";

// Every folder this run has tried to make. Most tracks share their folders with the tracks
// before them, and a second attempt to make a folder gives what the first one gave (made
// now, or there already): remembering the attempts saves two failing system calls per
// track, a third of a large run's time.
std::unordered_set<std::string> foldersTried;

// Makes the folder `name` at `path`, unless this run has tried to already, and gives it its
// row in the index list `listPath`. True only when this call made the folder. A name that
// Windows refuses fails on every build, as it would on Windows, so every build makes the
// same tree. The row is journaled before the folder is made: a run stopped in between
// still leaves the next run a way to the row.
bool makeIndexedFolder(const std::string& path, const std::string& name,
                       const std::string& listPath, const std::string& row,
                       const std::string& key) {
    // An empty name is the parent folder itself (a track without a file name), which no
    // call makes.
    if (name.empty() || !foldersTried.insert(path).second || !windowsAcceptsFolderName(name)) {
        return false;
    }
    journalIndexRow(listPath, row, key, path);
    if (!platform::makeFolder(path)) {
        return false;
    }
    noteFolderMade(path);
    mergeListRow(listPath, row, key);
    return true;
}

void mergeIntoErrorList(const std::string& row) {
    trackRecord.errorListMode = true;
    mergeListRow("errlist.csv", row, trackRecord.fileName, ListKind::errors);
}

// A folder name from the export is used as a path level only when it cannot lead out of
// its parent. Levels must not collapse either: an empty name makes a folder's path that of
// its parent, so an album under an empty artist name would be made among the artist
// folders, and a track's row under an empty album name would land in an album list.
bool folderNamesUsable(const TrackRecord& track) {
    bool artistUsed = !track.isCompilation;
    if (artistUsed && !isSafeFolderName(track.artistFolder, track.artistFolderSjis)) {
        return false;
    }
    if (!isSafeFolderName(track.albumFolder, track.albumFolderSjis)) {
        return false;
    }
    if (!track.fileName.empty() && track.albumFolderSjis.empty()) {
        return false;
    }
    return !(artistUsed && track.artistFolderSjis.empty() && !track.albumFolderSjis.empty());
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
        makeIndexedFolder(artistPath, kCompilationsFolder, "list.csv",
                          indexRow(kCompilationsFolder, kCompilationsFolder), kCompilationsFolder);
    } else {
        std::string artistName = windowsFolderName(track.artistFolderSjis);
        artistPath = "Music/" + artistName;
        const std::string& shown = track.hasAlbumArtist ? track.albumArtist : track.artist;
        makeIndexedFolder(artistPath, artistName, "list.csv", indexRow(track.artistFolder, shown),
                          track.artistFolder);
    }

    std::string albumName = windowsFolderName(track.albumFolderSjis);
    std::string albumPath = artistPath + "/" + albumName;
    track.albumFolderCreated =
        makeIndexedFolder(albumPath, albumName, artistPath + "/list.csv",
                          indexRow(track.albumFolder, track.album), track.albumFolder);

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

void beginOrganising() {
    foldersTried.clear();
}

void organiseTrack() {
    placeTrack();
    checkpointListsIfDue();
}
