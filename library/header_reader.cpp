#include "library/header_reader.h"

#include "library/line_reader.h"
#include "library/media_folder.h"
#include "library/tracks_reader.h"
#include "platform/console.h"
#include "platform/console_text.h"

std::string mediaFolderUrl;

int readLibraryHeader() {
    mediaFolderUrl.clear();
    if (atEndOfInput()) {
        return 0;
    }
    for (;;) {
        readLine();
        if (lineContains("<dict>")) {
            // The line that ended the tracks loop is not tested again: it is normally the
            // tracks dictionary's own closing line.
            readTracksDictionary();
        } else if (lineContains("<array>")) {
            platform::consoleWrite(text::kToPlaylists);
            return -1;
        } else if (lineContains("</dict>")) {
            platform::consoleWrite(text::kDictionaryEnd);
            return 0;
        } else if (lineContains("<string>") && keyOf(currentLine) == "Music Folder") {
            // Kept as written: it is compared with Locations, which are URL text too.
            mediaFolderUrl = extractBetween("<string>", "</string>", currentLine);
        }
        if (atEndOfInput()) {
            return 0;
        }
    }
}
