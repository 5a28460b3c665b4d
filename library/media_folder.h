// The media folder that the export's header names in its "Music Folder" entry. Libraries
// whose media folder was moved or renamed, or that keep the older layout, have no
// "Media/Music/" in their Locations: this is where their artist folders are found. One
// value, program-wide: the header reader sets it, the Location step reads it.
#pragma once

#include <string>

// The entry's string value as it stands in the export (a file URL, XML and percent escapes
// left in place); empty while the export has named no media folder.
extern std::string mediaFolderUrl;
