// The journal: "bunkai.journal" in the working folder, where a run records every list merge
// and every picture it owes before it acts on them, so that a run stopped at any moment
// leaves the next run a way to finish its work (see list_store.h).
//
// It is a sequence of records. Each has a header line
// "<mode><kind>,<length>,...,<checksum>\n" and then its texts as they are, so that any byte
// may stand in them; the checksum (eight hexadecimal digits) covers the header before it and
// the texts. Modes: N a row merged into an index or track list, E a row added to the error
// list, F an index row that waits for its folder, P a picture to be extracted, D a picture
// done, W a list of a folder the run made, about to be written under its own name. Kinds: I,
// T, R for index, track and error-list rows and lists, A for pictures. Texts: N and E have
// the list's path, the key and the row; F also the folder's path; P the album folder's path
// and the music file's; D the album folder's path; W the list's path.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr const char* kJournalName = "bunkai.journal";

struct JournalRecord {
    char mode = 0;
    char kind = 0;
    std::string texts[4];
    std::size_t end = 0;  // where the next record begins
};

// The bytes of one record with up to four texts (`count` of them).
std::string journalRecordBytes(char mode, char kind, const std::string* texts, std::size_t count);

// Reads the record that begins at `at` of the journal's bytes. False at the end, and at a
// record cut short by it (a run stopped while writing it), not well formed, or whose checksum
// does not match (a record torn by a crash): nothing from there on counts.
bool readJournalRecord(const std::string& bytes, std::size_t at, JournalRecord& record);

// True for the path of a list this program writes: "list.csv" or "errlist.csv" in the
// working folder, or "list.csv" one or two safe levels below "Music". A journal is only
// ever written by the program, but one that says otherwise must not lead a run to write
// anywhere else.
bool isJournalListPath(const std::string& path);

// True for the path of an album folder: two safe levels below "Music".
bool isJournalAlbumPath(const std::string& path);

// The run's journal file. Writing stops at the first record that cannot be written (the
// journal is then "broken"), so that it stays a sequence of whole records up to its end.

// Appends `record`, opening the journal afresh on the first append of a run. False when the
// journal is broken or breaks now.
bool appendJournal(const std::string& record);

// Opens the journal afresh as the first append of a run does, unless it is open already.
// False when the journal is broken or breaks now.
bool openJournal();

// Appends the record of `count` texts (up to four), as journalRecordBytes gives it: the
// same as appendJournal(journalRecordBytes(...)), without a string made for each text.
bool appendJournalRecord(char mode, char kind, const std::string_view* texts, std::size_t count);

// Pushes what was appended to the disk. False (and the journal broken) when that fails.
bool flushJournal();

// Closes the journal file, if open.
void closeJournal();

// Stops writing to the journal, which keeps what it holds: the run counts as one whose
// journal broke.
void breakJournal();

// Starts the journal afresh, empty: its records are all done.
void restartJournal();

// Replaces the journal by `bytes` in one step and goes on appending to it. On failure the
// old journal stays and is broken.
void replaceJournal(const std::string& bytes);

// Reads the whole journal left in the working folder; false when there is none or it cannot
// be read in full.
bool readJournal(std::string& bytes);

// Removes the journal file, or, where it cannot be removed, empties it (the journal is broken
// when even that fails).
void removeJournal();

// Whether a record could not be written now, and at some point of the run.
bool journalBroken();
bool journalEverBroken();

// Closes the journal and forgets its state, for a new run.
void resetJournal();
