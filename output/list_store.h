// The list files of a run, held in memory while the run goes on.
//
// Rewriting a whole list for every row would make filling a list of n rows cost n² row
// copies; a library with tens of thousands of tracks in one list (the error list of a
// library of cloud tracks) would take hours. Instead each list is read once, rows are
// merged into it in memory by exactly the rule of mergeRows, and the list is written back
// whole at checkpoints and at the end of the run: an existing list in one atomic step, the
// list of a folder the run made straight under its name. Every list file thus ends the run
// byte-identical to what merging row by row into the file would give. A list read just as
// it would be written keeps its rows in its text until a merge changes them: a rerun, which
// merges every row again into a list that holds it already, copies none of them.
//
// Rows must not be lost when a run is interrupted: a folder that exists without its index
// row would never get it from a later run, which adds index rows only for folders it
// creates. So every merge is first appended to a journal in the working folder, and a run
// that finds a journal left behind replays it into the lists before it starts. The index
// row of a folder is journaled, and flushed to disk, before the folder is made
// (journalIndexRow), so that no moment of a run leaves a folder without a way to its row.
// The cover picture of an album folder is journaled the same way (journalPicture), and a
// replay extracts every picture that the interrupted run had not finished. A list written
// straight under its name may be cut short by an interruption; the journal names it first,
// and a replay reads it without a last row that lacks its line end, then merges its rows
// again from the journal.
//
// A list that cannot be written (a full disk, a list held open by another program) keeps
// its rows in memory, to be tried again at the next checkpoint, and its records in the
// journal: a run that ends with lists unwritten leaves the journal holding their records,
// and the next run finishes them before it starts.
#pragma once

#include <cstddef>
#include <string>

#include "output/journal.h"

// Which rows a list holds. An index row must be on disk (in the journal) before its folder
// is made; an index list that cannot be read keeps the run's journal, so that a later run
// adds the row. The rows of a track list that cannot be written are also put in the error
// list, where the user sees them. Error list rows may wait in memory like track rows; they
// are not sorted: each goes at the end of its list.
enum class ListKind { index, tracks, errors };

// Merges `newRow` (ending in "\n", key `newKey`) into the list at `listPath` by the rule of
// its kind (an error list takes it at its end; any other list in key order, replacing the
// rows of its key), and journals the merge. Returns false, merging nothing, when the list cannot
// take the row: an existing list that cannot be read, or a list whose folder does not exist.
bool mergeListRow(const std::string& listPath, const std::string& newRow, const std::string& newKey,
                  ListKind kind = ListKind::index);

// Journals, and flushes to disk, the index row that `listPath` gets when the folder
// `folderPath` is made, before the caller tries to make it. Replayed after an interruption,
// the row is merged when the folder exists and the list holds no row of its key; the
// mergeListRow that follows the folder's making is replayed as usual.
// False when the row could not be journaled (the journal cannot be written): the caller must
// then not make the folder, since nothing would tell a later run of its row.
bool journalIndexRow(const std::string& listPath, const std::string& row, const std::string& key,
                     const std::string& folderPath);

// Journals that the cover picture of `albumFolderPath` is to be taken from the music file
// at `musicFilePath`, before the album folder is made. It goes to disk with the folder's
// index row (journalIndexRow, called next). journalPictureDone(albumFolderPath) follows
// once the picture was extracted, or when the folder was not made. A replay extracts the
// pictures journaled without their end, into album folders that exist.
void journalPicture(const std::string& albumFolderPath, const std::string& musicFilePath);
void journalPictureDone(const std::string& albumFolderPath);

// Tells the store that this run has just made the folder `folderPath`, so that its list,
// which cannot exist yet, starts empty without being looked for.
void noteFolderMade(const std::string& folderPath);

// Replays the journal that an earlier run left in the working folder and writes the lists it
// touched. The journal is removed when every list was written; otherwise it is kept with
// the records of the lists still unwritten, and the run goes on adding to it. Nothing
// happens when there is none.
void recoverLists();

// Called after each track: writes the lists back and empties the journal once enough rows
// have been merged since the last checkpoint that the writing costs no more than the
// merging did.
void checkpointListsIfDue();

// Writes every list that changed. Track rows whose list cannot be written go to the error
// list. Called at the end of the run. Returns true, and removes the journal, when every list
// was written and the journal could be kept throughout. Returns false when a list could not
// be written (the journal then keeps the records of the unwritten lists for the next run),
// or when the journal could not be written at some point of the run (folders were then left
// unmade, and their tracks are in the error list).
bool finishLists();

// Starts a run with no list, journal or note of an earlier run in the same process.
void beginLists();

// Merges since the last checkpoint before one is considered, at least. A list written at a
// checkpoint and changed after it is written again, through a temporary file: in a library
// of 200,000 tracks, checkpoints every 100,000 merges wrote some 11,000 lists twice; with
// this many, a library of up to some 230,000 tracks has no checkpoint before the end. The
// journal meanwhile grows by some 260 bytes a merge (51 MB in 195,000 records 1 s into a
// run of 200,000 tracks), and the track rows merged since the last checkpoint are held
// twice, for the error list (peak memory at 200,000 tracks: 156 MB, against 127 MB before).
inline constexpr std::size_t kMinCheckpointMerges = 250000;

// Rows held in memory past which the lists written at a checkpoint are let go.
inline constexpr std::size_t kMaxRowsHeld = 500000;
