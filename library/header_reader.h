// The walk through the top-level dictionary of the export.
#pragma once

// Called after the line opening the top-level dictionary. Reads the header entries past,
// keeping the string value of a "Music Folder" entry in mediaFolderUrl (emptied on entry,
// so an export without one leaves it empty; a later entry replaces an earlier one), hands
// the tracks dictionary to readTracksDictionary, and returns -1 at the line holding
// "<array>" (the playlists, which the program does not read; prints "\nプレイリストへ\n"),
// or 0 when the top-level dictionary ends first (prints "終わり\n") or the input ends.
int readLibraryHeader();
