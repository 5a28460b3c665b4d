#include "output/organiser.h"

#include <unordered_map>

#include "library/track_record.h"
#include "output/artwork.h"
#include "output/folder_names.h"
#include "output/list_rows.h"
#include "output/list_store.h"
#include "platform/entry_names.h"
#include "platform/files.h"

namespace {

const char* const kCompilationsFolder = "Compilations";

// Every folder this run has looked for, by the path a track gave it, with the path it has on
// disk. Most tracks share their folders with the tracks before them, and a second attempt
// to make a folder gives what the first one gave (made now, or there already): remembering
// the attempts saves two failing system calls per track, a third of a large run's time.
std::unordered_map<std::string, std::string> foldersTried;

// Makes the folder `name` in `parent`, unless this run has tried to already, and gives it
// its row in the index list `listPath`; sets `path` to the folder's path. True only when
// this call made the folder. A name that Windows refuses fails on every build, as it would
// on Windows, and so does a name that differs from an existing entry's only in letter case:
// `path` then leads to that entry, so every build makes the same tree. An entry known to
// exist is neither made again nor journaled. The row, and for an album folder the music file
// of its picture (`pictureSource`), are journaled before the folder is made: a run stopped
// in between still leaves the next run a way to them. A folder whose row cannot be journaled
// is not made.
bool makeIndexedFolder(const std::string& parent, const std::string& name,
                       const std::string& listPath, const std::string& row, const std::string& key,
                       std::string& path, const std::string* pictureSource = nullptr) {
    path = parent + '/' + name;
    auto tried = foldersTried.find(path);
    if (tried != foldersTried.end()) {
        path = tried->second;
        return false;
    }
    // An empty name is the parent folder itself (a track without a file name), which no
    // call makes.
    if (name.empty() || !windowsAcceptsFolderName(name)) {
        foldersTried.emplace(path, path);
        return false;
    }
    std::string onDisk;
    const bool exists = platform::findEntry(parent, name, onDisk);
    const std::string asked = path;
    path = parent + '/' + onDisk;
    foldersTried.emplace(asked, path);
    if (exists) {
        return false;
    }
    if (pictureSource) {
        journalPicture(path, *pictureSource);
    }
    if (!journalIndexRow(listPath, row, key, path) || !platform::makeFolder(path)) {
        if (pictureSource) {
            journalPictureDone(path);
        }
        return false;
    }
    platform::folderMade(parent, name);
    noteFolderMade(path);
    mergeListRow(listPath, row, key);
    return true;
}

// The album list of the last track that got as far as its folders, by the names that led to it.
// Most tracks follow another of their album, and a folder once tried gives the same path to
// every later track: such a track skips the look-ups and the rows its folders would get.
struct LastFolders {
    bool known = false;
    bool isCompilation = false;
    std::string artistFolderSjis;
    std::string albumFolderSjis;
    std::string albumListPath;
};

LastFolders lastFolders;

bool sameFoldersAsLast(const TrackRecord& track) {
    return lastFolders.known && track.isCompilation == lastFolders.isCompilation &&
           track.albumFolderSjis == lastFolders.albumFolderSjis &&
           track.artistFolderSjis == lastFolders.artistFolderSjis;
}

// What placing a track did, for the record's flags.
struct Placement {
    bool albumFolderCreated = false;
    bool inErrorList = false;
};

void mergeIntoErrorList(const TrackRecord& track, const std::string& row, Placement& placement) {
    placement.inErrorList = true;
    mergeListRow("errlist.csv", row, track.fileName, ListKind::errors);
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

Placement placeTrack(const TrackRecord& track) {
    Placement placement;
    std::string row = trackRow(track);
    if (!folderNamesUsable(track)) {
        mergeIntoErrorList(track, row, placement);
        return placement;
    }

    if (sameFoldersAsLast(track)) {
        if (track.fileName.empty() ||
            !mergeListRow(lastFolders.albumListPath, row, track.fileName, ListKind::tracks)) {
            mergeIntoErrorList(track, row, placement);
        }
        return placement;
    }

    std::string artistPath;
    if (track.isCompilation) {
        makeIndexedFolder("Music", kCompilationsFolder, "list.csv",
                          indexRow(kCompilationsFolder, kCompilationsFolder), kCompilationsFolder,
                          artistPath);
    } else {
        const std::string& shown = track.hasAlbumArtist ? track.albumArtist : track.artist;
        makeIndexedFolder("Music", windowsFolderName(track.artistFolderSjis), "list.csv",
                          indexRow(track.artistFolder, shown), track.artistFolder, artistPath);
    }

    std::string albumPath;
    placement.albumFolderCreated = makeIndexedFolder(
        artistPath, windowsFolderName(track.albumFolderSjis), artistPath + "/list.csv",
        indexRow(track.albumFolder, track.album), track.albumFolder, albumPath, &track.location);

    lastFolders.known = true;
    lastFolders.isCompilation = track.isCompilation;
    lastFolders.artistFolderSjis = track.artistFolderSjis;
    lastFolders.albumFolderSjis = track.albumFolderSjis;
    lastFolders.albumListPath = albumPath + "/list.csv";
    if (track.fileName.empty()) {
        mergeIntoErrorList(track, row, placement);
    } else if (!mergeListRow(lastFolders.albumListPath, row, track.fileName, ListKind::tracks)) {
        // The album's list could not take the row (no folder, a refused name, a write
        // error): keep the track in the error list rather than lose it.
        mergeIntoErrorList(track, row, placement);
    }

    if (placement.albumFolderCreated) {
        extractArtwork(track.location, albumPath);
        journalPictureDone(albumPath);
    }
    return placement;
}

}  // namespace

void beginOrganising() {
    foldersTried.clear();
    lastFolders = LastFolders();
    platform::forgetEntryNames();
}

void organiseTrack() {
    Placement placement = placeTrack(trackRecord);
    trackRecord.albumFolderCreated = placement.albumFolderCreated;
    trackRecord.errorListMode = placement.inErrorList;
    checkpointListsIfDue();
}
