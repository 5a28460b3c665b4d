// Turns one finished track into entries of the output tree below the working folder.
#pragma once

// Hands a copy of trackRecord over to be placed, in the order tracks are read, and returns
// at once unless many tracks wait already. Placing a track, on
// a thread of the organiser's own: notes the track's errorNotes in "err.csv"; creates
// "Music/<artist folder>" (or "Music/Compilations") and the album folder below it; adds an index
// row one level up for each folder it created; merges the track's row into the album folder's
// "list.csv", or into "errlist.csv" when the track has no file name, when its folder names are
// unsafe, or when its own list could not be written; and copies the cover picture into an album
// folder it created. A folder is made only once its index row (and an album folder's picture) is
// journaled: when the journal cannot be written, no folder is made and the track goes to
// the error list. Prints nothing and never stops. Nothing else may touch the output tree or
// the lists until finishOrganising.
void organiseTrack();

// Returns once every track handed over has been placed.
void finishOrganising();

// Starts a run in the working folder: forgets which folders an earlier run in the same
// process tried to make.
void beginOrganising();
