// Turns one finished track into entries of the output tree below the working folder.
#pragma once

// Runs `readExport` on a thread of its own, and meanwhile places on this thread, one after
// another in the order they were read, the tracks it hands over with organiseTrack. Returns
// once `readExport` has returned and every track is placed. Where no thread can be started,
// `readExport` runs on this thread, and each track is placed as it is handed over.
void organiseTracksOf(void (*readExport)());

// Hands trackRecord() over to be placed and returns, at once unless many tracks wait
// already; within organiseTracksOf, trackRecord() is then another record, for the next
// track, and outside it the track is placed before this returns. Placing a track: notes the
// track's errorNotes in "err.csv"; creates "Music/<artist folder>" (or "Music/Compilations")
// and the album folder below it; adds an index row one level up for each folder it created;
// merges the track's row into the album folder's "list.csv", or into "errlist.csv" when the
// track has no file name, when its folder names are unsafe, or when its own list could not
// be written; and copies the cover picture into an album folder it created. A folder is
// made only once its index row (and an album folder's picture) is journaled: when the
// journal cannot be written, no folder is made and the track goes to the error list. Prints
// nothing and never stops.
void organiseTrack();

// Starts a run in the working folder: forgets which folders an earlier run in the same
// process tried to make.
void beginOrganising();
