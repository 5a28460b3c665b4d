#include "library/tracks_reader.h"

#include "library/line_reader.h"
#include "library/track_parser.h"
#include "library/track_record.h"
#include "output/organiser.h"
#include "platform/console.h"
#include "platform/console_text.h"

void readTracksDictionary() {
    platform::consoleWrite(text::kTrackDot);
    while (!atEndOfInput()) {
        readLine();
        const LineTags tags = scanLine(currentLine);
        if (tags.opensDictionary) {
            platform::consoleWrite(text::kTrackDot);
            readTrack();
        } else if (tags.closesDictionary) {
            return;
        }
    }
}

int readTrack() {
    clearTrackRecord();
    int nestedDepth = 0;
    while (!atEndOfInput()) {
        readLine();
        const LineTags tags = scanLine(currentLine);
        if (tags.opensDictionary) {
            platform::consoleWrite(text::kNestedDictionary);
        } else if (tags.closesDictionary) {
            if (nestedDepth == 0) {
                break;
            }
            --nestedDepth;
            continue;
        }
        // The entries of a nested dictionary are not the track's own: a "Name" in there
        // must not replace the track's name.
        if (nestedDepth == 0 && tags.hasKey) {
            parseTrackLine(tags.key, currentLine);
        }
        if (tags.opensDictionary) {
            ++nestedDepth;
        }
    }
    organiseTrack();
    return 0;
}
