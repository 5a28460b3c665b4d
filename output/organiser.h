// Turns one finished track into entries of the output tree below the working folder.
#pragma once

// Reads trackRecord and: creates "Music/<artist folder>" (or "Music/Compilations") and the
// album folder below it; adds an index row one level up for each folder this call created;
// merges the track's row into the album folder's "list.csv", or into "errlist.csv" when
// the track has no file name, when its folder names are unsafe, or when its own list could
// not be written; and copies the cover picture into an album folder this call created.
// A folder is made only once its index row (and an album folder's picture) is journaled:
// when the journal cannot be written, no folder is made and the track goes to the error
// list. Sets trackRecord.albumFolderCreated and errorListMode. Prints nothing and never
// stops.
void organiseTrack();

// Starts a run in the working folder: forgets which folders an earlier run in the same
// process tried to make.
void beginOrganising();
