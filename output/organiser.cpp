#include "output/organiser.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "library/track_record.h"
#include "output/artwork.h"
#include "output/error_notes.h"
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
// This map and the other two of a run's folders below are never destroyed: at the end of
// the process, handing every entry back to the allocator would only make the run longer.
std::unordered_map<std::string, std::string>& foldersTried =
    *new std::unordered_map<std::string, std::string>();

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
    // Looked up and taken in at once: each look-up in a map of tens of thousands of paths
    // costs a cache miss or two.
    const auto [tried, firstTry] = foldersTried.try_emplace(path);
    if (!firstTry) {
        path = tried->second;
        return false;
    }
    // An empty name is the parent folder itself (a track without a file name), which no
    // call makes.
    if (name.empty() || !windowsAcceptsFolderName(name)) {
        tried->second = path;
        return false;
    }
    std::string onDisk;
    const bool exists = platform::findEntry(parent, name, onDisk);
    path = parent + '/' + onDisk;
    tried->second = path;
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

// The folder names that lead to a track's album folder, in one text: a compilation's album
// folder name after "1/", or "0", the artist folder name, "/" and the album folder name
// (which holds no "/").
std::string albumKey(const TrackRecord& track) {
    std::string key = track.isCompilation ? "1/" : "0" + track.artistFolderSjis + '/';
    key += track.albumFolderSjis;
    return key;
}

// The album list of every track that got as far as its folders, by its albumKey. A folder
// once tried gives the same path to every later track: a track of an album met before skips
// the look-ups, and the rows its folders would get.
std::unordered_map<std::string, std::string>& albumListPaths =
    *new std::unordered_map<std::string, std::string>();

// The same for the last two albums met: most tracks follow another of their album, and a
// track with no place in the tree (no Location, say) among them must not make the next one
// look its album up again.
// Folders are told apart by their names as decoded: their names in code page 932 follow
// from those.
struct Folders {
    bool known = false;
    bool isCompilation = false;
    std::string artistFolder;
    std::string albumFolder;
    // The placing thread's: whether the names can be path levels (folderLevelsUsable), and
    // the album list, once looked up.
    bool levelsUsable = false;
    bool listKnown = false;
    std::string albumListPath;
};

struct LastFolders {
    Folders recent[2];  // the last one met first
};

LastFolders lastFolders;

bool holdsFoldersOf(const Folders& folders, const TrackRecord& track) {
    return folders.known && track.isCompilation == folders.isCompilation &&
           track.albumFolder == folders.albumFolder && track.artistFolder == folders.artistFolder;
}

// True when `track` has the folder names of one of the albums of `last`, which then comes
// first; if not, the older one makes way for them.
bool sameFoldersAs(LastFolders& last, const TrackRecord& track) {
    if (holdsFoldersOf(last.recent[0], track)) {
        return true;
    }
    std::swap(last.recent[0], last.recent[1]);
    if (holdsFoldersOf(last.recent[0], track)) {
        return true;
    }
    Folders& folders = last.recent[0];
    folders.known = true;
    folders.isCompilation = track.isCompilation;
    folders.artistFolder = track.artistFolder;
    folders.albumFolder = track.albumFolder;
    folders.listKnown = false;
    return false;
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
// The part that rests on the folder names alone, the same for every track of an album.
bool folderLevelsUsable(const TrackRecord& track) {
    bool artistUsed = !track.isCompilation;
    if (artistUsed && !isSafeFolderName(track.artistFolder, track.artistFolderSjis)) {
        return false;
    }
    if (!isSafeFolderName(track.albumFolder, track.albumFolderSjis)) {
        return false;
    }
    return !(artistUsed && track.artistFolderSjis.empty() && !track.albumFolderSjis.empty());
}

bool fileNameUsable(const TrackRecord& track) {
    return track.fileName.empty() || !track.albumFolderSjis.empty();
}

bool folderNamesUsable(const TrackRecord& track) {
    return folderLevelsUsable(track) && fileNameUsable(track);
}

// `artwork`: the picture of the track's music file, when it was found ahead.
Placement placeTrack(const TrackRecord& track, const FoundArtwork* artwork) {
    Placement placement;
    // Kept from track to track: only a row that a list takes in is copied.
    static std::string row;
    trackRow(track, row);
    // Most tracks have the folder names of a track just before them: whether those are
    // usable, and where their album list is, are known then.
    const bool knownFolders = sameFoldersAs(lastFolders, track);
    Folders& folders = lastFolders.recent[0];
    if (!knownFolders) {
        folders.levelsUsable = folderLevelsUsable(track);
    }
    if (!folders.levelsUsable || !fileNameUsable(track)) {
        mergeIntoErrorList(track, row, placement);
        return placement;
    }

    std::string albumPath;
    if (!folders.listKnown) {
        const auto [known, firstOfAlbum] = albumListPaths.try_emplace(albumKey(track));
        if (firstOfAlbum) {
            std::string artistPath;
            if (track.isCompilation) {
                makeIndexedFolder("Music", kCompilationsFolder, "list.csv",
                                  indexRow(kCompilationsFolder, kCompilationsFolder),
                                  kCompilationsFolder, artistPath);
            } else {
                const std::string& shown = track.hasAlbumArtist ? track.albumArtist : track.artist;
                makeIndexedFolder("Music", windowsFolderName(track.artistFolderSjis), "list.csv",
                                  indexRow(track.artistFolder, shown), track.artistFolder,
                                  artistPath);
            }
            placement.albumFolderCreated = makeIndexedFolder(
                artistPath, windowsFolderName(track.albumFolderSjis), artistPath + "/list.csv",
                indexRow(track.albumFolder, track.album), track.albumFolder, albumPath,
                &track.location);
            known->second = albumPath + "/list.csv";
        }
        folders.albumListPath = known->second;
        folders.listKnown = true;
    }
    if (track.fileName.empty()) {
        mergeIntoErrorList(track, row, placement);
    } else if (!mergeListRow(folders.albumListPath, row, track.fileName, ListKind::tracks)) {
        // The album's list could not take the row (no folder, a refused name, a write
        // error): keep the track in the error list rather than lose it.
        mergeIntoErrorList(track, row, placement);
    }

    if (placement.albumFolderCreated) {
        if (artwork) {
            writeArtwork(*artwork, track.location, albumPath);
        } else {
            extractArtwork(track.location, albumPath);
        }
        journalPictureDone(albumPath);
    }
    return placement;
}

// Places one track: notes what reading it gave for "err.csv", then makes its folders and
// rows.
void organiseNow(TrackRecord& track, const FoundArtwork* artwork) {
    for (const std::string& word : track.errorNotes) {
        appendErrorNote(word);
    }
    Placement placement = placeTrack(track, artwork);
    track.albumFolderCreated = placement.albumFolderCreated;
    track.errorListMode = placement.inErrorList;
    checkpointListsIfDue();
}

// The export is read on a thread of its own, while the program's main thread places the
// tracks it hands over, one after another in the order they were read. Reading the export
// is work for the processor alone, placing a track is mostly work for the file system: on
// two cores a run takes about as long as placing alone. Only the placing thread touches the
// output tree (and err.csv), so every file operation happens in the same order as if each
// track were placed as soon as it was read. The placing thread is the main one because it
// allocates most: the main thread's heap grows in large steps, a second thread's a page at a
// time, with a system call each.
//
// The queue is deep: the placing thread is slower than the reader while it still meets
// albums for the first time (on a rerun it reads each one's list then), and faster after.
// The reader then runs ahead early instead of waiting, and the placing thread catches up
// later: in a 200,000-track rerun, some ten thousand tracks ahead. A queued track takes
// about 1.4 KB, some 22 MB in all.
constexpr std::size_t kQueuedTracks = 16384;
// Either side that has to wait sleeps until this many tracks, or free places, are there:
// waking the other side for every single track would cost two system calls a track, and on
// a single core a switch between the threads every few tracks.
constexpr std::size_t kHandOverBatch = 128;
// The two sides share no lock while neither waits: each counts its own tracks, on a cache
// line of its own, and looks at the other's count only when its last look says it must wait
// (or the reader, to know whether to read a music file ahead). A lock taken for every track
// made the two threads meet on it four times a track.
constexpr std::size_t kCacheLine = 64;

// While the placing thread lags behind (most of a first run), the reader also reads the
// music file of a track that will likely make a new album folder, and hands its picture over
// with the track: the two threads then share the reading of music files, which is most of a
// run over real music files. Pictures found ahead and not yet written take at most this much
// memory.
constexpr std::size_t kArtworkAheadBytes = std::size_t{64} << 20;

struct QueuedTrack {
    TrackRecord record;
    bool artworkFound = false;  // `artwork` holds what the music file gave
    FoundArtwork artwork;
};

struct TrackQueue {
    std::vector<QueuedTrack> slots;  // track n has place n % kQueuedTracks
    // Tracks handed over since the run began; written by the reader alone, after the track.
    alignas(kCacheLine) std::atomic<std::size_t> handedOver{0};
    // Tracks placed since the run began; written by the placing thread alone, after the track.
    alignas(kCacheLine) std::atomic<std::size_t> placed{0};
    // The pictures found ahead in tracks not yet placed.
    alignas(kCacheLine) std::atomic<std::size_t> artworkBytes{0};
    std::atomic<bool> ended{false};  // no track will come anymore
    // Only for sleeping and waking.
    alignas(kCacheLine) std::mutex mutex;
    std::condition_variable tracksCame;  // or the export ended
    std::condition_variable placesFreed;
    std::atomic<bool> placerSleeps{false};
    std::atomic<bool> readerSleeps{false};
    std::size_t placedSeen = 0;  // the reader's own: `placed` as it last looked
    bool handingOver = false;    // a reader thread hands tracks over through the queue
};

// Never destroyed either: at the end of the process its records would give back their
// strings one by one.
TrackQueue& queue = *new TrackQueue();

// Sleeps until `ready()`, with `sleeps` raised meanwhile for the other side, which wakes the
// sleeper through `wake` after each change that may make it ready. The sleeper raises its
// flag before it looks at the other's count again, and the other changes its count before
// it looks at the flag, all in one order for both threads (sequentially consistent): one of
// them sees the other's change, so no wake-up is lost.
template <typename Ready>
void sleepUntil(std::condition_variable& wake, std::atomic<bool>& sleeps, Ready ready) {
    std::unique_lock<std::mutex> lock(queue.mutex);
    sleeps.store(true);
    wake.wait(lock, ready);
    sleeps.store(false);
}

// Wakes the other side if it sleeps and `ready()` holds for it. To be called after the count
// it waits for has changed.
template <typename Ready>
void wakeIfReady(std::condition_variable& wake, const std::atomic<bool>& sleeps, Ready ready) {
    if (sleeps.load() && ready()) {
        std::lock_guard<std::mutex> lock(queue.mutex);
        wake.notify_one();
    }
}

// The reader's own memory of the album folders it has met this run while the placing thread
// lagged, by albumKey, and of the last two albums' folder names: whether a track is the first
// of its album folder. An album met while the placing thread kept up is placed by the time
// its tracks come again, so its folder is found on disk; names that lead to one folder
// (differing in letter case, say) only cost a look more too.
std::unordered_set<std::string>& albumFoldersMet = *new std::unordered_set<std::string>();
LastFolders lastFoldersMet;

// A library run again finds nearly all its album folders there already. After this many
// looks in a row found the folder, the reader looks only for every so many new albums, until
// a look finds none: most looks would cost a system call or two and save nothing.
constexpr std::size_t kFoundBeforeLookingLess = 64;
std::size_t foundInARow = 0;
std::size_t looksSkipped = 0;

// Whether placing `track` will likely make its album folder, and so copy its picture: it
// is the first track of that folder in this run, its names are usable, and no folder
// stands at that path. A guess for the reader: the placing thread decides for itself.
// Every track must pass through it, so that it knows the last folders met; only when
// `wanted()` does it take note of the album folder, and look on disk (and can it say yes).
// That is asked only for a track whose folders differ from the last two albums': a rerun,
// whose placing thread keeps up, then costs no note of the tens of thousands of albums.
template <typename Wanted>
bool likelyMakesAlbumFolder(const TrackRecord& track, Wanted wanted) {
    if (sameFoldersAs(lastFoldersMet, track) || !wanted() ||
        !albumFoldersMet.insert(albumKey(track)).second || !folderNamesUsable(track)) {
        return false;
    }
    const std::string album = windowsFolderName(track.albumFolderSjis);
    if (album.empty() || !windowsAcceptsFolderName(album)) {
        return false;
    }
    std::string path = "Music/";
    path += track.isCompilation ? kCompilationsFolder : windowsFolderName(track.artistFolderSjis);
    path += '/';
    path += album;
    if (foundInARow >= kFoundBeforeLookingLess && ++looksSkipped % kFoundBeforeLookingLess != 0) {
        return false;
    }
    if (platform::folderExists(path)) {
        ++foundInARow;
        return false;
    }
    foundInARow = 0;
    return true;
}

// The records of the queue's places were last touched by the placing thread, thousands of
// tracks ago: filling one would wait for its memory, once for every string. The reader asks
// for them a few tracks ahead of `next`, the place it fills now, where the placing thread is
// done with them: first for the records themselves, then, once those are at hand, for their
// strings.
void askForPlacesAhead(std::size_t next) {
#ifdef __GNUC__
    constexpr std::size_t kRecordsAhead = 8;
    constexpr std::size_t kStringsAhead = 4;
    if (next + kRecordsAhead - queue.placedSeen >= kQueuedTracks) {
        queue.placedSeen = queue.placed.load(std::memory_order_acquire);
        if (next + kRecordsAhead - queue.placedSeen >= kQueuedTracks) {
            return;
        }
    }
    const char* record =
        reinterpret_cast<const char*>(&queue.slots[(next + kRecordsAhead) % kQueuedTracks].record);
    for (std::size_t at = 0; at < sizeof(TrackRecord); at += kCacheLine) {
        __builtin_prefetch(record + at, 1);
    }
    const TrackRecord& strings = queue.slots[(next + kStringsAhead) % kQueuedTracks].record;
    for (std::string TrackRecord::*field : kRecordStrings) {
        __builtin_prefetch((strings.*field).data(), 1);
    }
#else
    (void)next;
#endif
}

// True when the reader may hand a batch of tracks over: the placing thread waits for that.
bool batchReady(std::size_t placed) {
    return queue.handedOver.load() - placed >= kHandOverBatch || queue.ended.load();
}

void placeQueuedTracks() {
    std::size_t placed = 0;
    std::size_t handedOver = 0;  // as last seen
    for (;;) {
        if (placed == handedOver) {
            handedOver = queue.handedOver.load(std::memory_order_acquire);
        }
        if (placed == handedOver) {
            if (queue.ended.load(std::memory_order_acquire)) {
                // The reader hands its last tracks over before it says so.
                handedOver = queue.handedOver.load(std::memory_order_acquire);
                if (placed == handedOver) {
                    return;
                }
                continue;
            }
            sleepUntil(queue.tracksCame, queue.placerSleeps,
                       [placed] { return batchReady(placed); });
            continue;
        }
        // The reader writes only to places after the tracks handed over: this one stays as
        // it is.
        QueuedTrack& track = queue.slots[placed % kQueuedTracks];
        organiseNow(track.record, track.artworkFound ? &track.artwork : nullptr);
        if (!track.artwork.bytes.empty()) {
            queue.artworkBytes.fetch_sub(track.artwork.bytes.size());
            std::vector<unsigned char>().swap(track.artwork.bytes);
        }
        queue.placed.store(++placed);
        wakeIfReady(queue.placesFreed, queue.readerSleeps, [placed] {
            return queue.handedOver.load(std::memory_order_relaxed) - placed <=
                   kQueuedTracks - kHandOverBatch;
        });
    }
}

}  // namespace

void beginOrganising() {
    albumFoldersMet.clear();
    lastFoldersMet = LastFolders();
    foundInARow = 0;
    looksSkipped = 0;
    foldersTried.clear();
    albumListPaths.clear();
    lastFolders = LastFolders();
    platform::forgetEntryNames();
}

void organiseTracksOf(void (*readExport)()) {
    queue.slots.resize(kQueuedTracks);
    queue.handedOver = 0;
    queue.placed = 0;
    queue.artworkBytes = 0;
    queue.ended = false;
    queue.placerSleeps = false;
    queue.readerSleeps = false;
    queue.placedSeen = 0;
    queue.handingOver = true;
    // The reader fills the records in their places of the queue: the first one is free.
    useTrackRecord(&queue.slots[0].record);
    std::thread reader;
    try {
        reader = std::thread([readExport] {
            readExport();
            queue.ended.store(true);
            wakeIfReady(queue.tracksCame, queue.placerSleeps, [] { return true; });
        });
    } catch (const std::system_error&) {
        queue.handingOver = false;
        useTrackRecord(nullptr);
        readExport();
        return;
    }
    placeQueuedTracks();
    reader.join();
    queue.handingOver = false;
    useTrackRecord(nullptr);
}

void organiseTrack() {
    if (!queue.handingOver) {
        organiseNow(trackRecord(), nullptr);
        return;
    }
    // The record was read in its place of the queue, into strings that keep their capacity
    // from track to track: copying it there cost the reading thread one instruction in
    // twenty-five.
    const std::size_t handedOver = queue.handedOver.load(std::memory_order_relaxed);
    QueuedTrack& slot = queue.slots[handedOver % kQueuedTracks];
    // How far the placing thread lags behind, and how much room pictures found ahead leave,
    // are asked only for a track that will likely make a folder.
    auto placerLags = [handedOver] {
        return handedOver - queue.placed.load(std::memory_order_relaxed) >= kHandOverBatch;
    };
    slot.artworkFound = false;
    if (likelyMakesAlbumFolder(slot.record, placerLags)) {
        const std::size_t ahead = queue.artworkBytes.load(std::memory_order_relaxed);
        const std::size_t room = ahead < kArtworkAheadBytes ? kArtworkAheadBytes - ahead : 0;
        slot.artworkFound = findArtwork(slot.record.location, slot.artwork, room);
        if (slot.artworkFound) {
            queue.artworkBytes.fetch_add(slot.artwork.bytes.size());
        }
    }
    queue.handedOver.store(handedOver + 1);
    wakeIfReady(queue.tracksCame, queue.placerSleeps, [handedOver] {
        return handedOver + 1 - queue.placed.load(std::memory_order_relaxed) >= kHandOverBatch;
    });
    // The next track is read into the next place, once the placing thread is done with it.
    const std::size_t next = handedOver + 1;
    if (next - queue.placedSeen == kQueuedTracks) {
        queue.placedSeen = queue.placed.load(std::memory_order_acquire);
        if (next - queue.placedSeen == kQueuedTracks) {
            sleepUntil(queue.placesFreed, queue.readerSleeps, [next] {
                return next - queue.placed.load() <= kQueuedTracks - kHandOverBatch;
            });
            queue.placedSeen = queue.placed.load(std::memory_order_acquire);
        }
    }
    useTrackRecord(&queue.slots[next % kQueuedTracks].record);
    askForPlacesAhead(next);
}
