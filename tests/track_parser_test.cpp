// The columns of a parsed track are checked end to end by the organiser's tests; these are
// the rules of the parser of their own.
#include "library/track_parser.h"

#include <gtest/gtest.h>

#include "library/line_reader.h"
#include "library/track_record.h"

namespace {

void parse(const std::string& key, const std::string& value) {
    const std::string line = "\t\t\t<key>" + key + "</key>" + value;
    currentLine = line;
    parseTrackLine(keyOf(line), line);
}

TEST(TrackParser, KeysMatchExactlyAndTheLastValueCounts) {
    clearTrackRecord();
    for (const char* key : {"name", "Name ", "Album Artist2", " Artist", "Albu", "Location2"}) {
        parse(key, "<string>x</string>");
    }
    const TrackRecord& t = trackRecord;
    EXPECT_EQ(t.name + t.artist + t.albumArtist + t.album + t.location, "");
    EXPECT_FALSE(t.hasAlbumArtist || t.isCompilation);
    parse("Album Artist", "<string></string>");
    parse("Name", "<string>first</string>");
    parse("Name", "<string>Intro &#38; Outro</string>");
    parse("Compilation", "<false/>");
    // A value that goes on over the next lines gives its first line's part.
    parse("Genre", "<string>line one");
    EXPECT_TRUE(t.hasAlbumArtist && t.isCompilation);
    EXPECT_EQ(t.name, "Intro & Outro");
    EXPECT_EQ(t.genre, "line one");
    clearTrackRecord();
    EXPECT_FALSE(t.hasAlbumArtist || t.isCompilation);
    EXPECT_EQ(t.name, "");
}

}  // namespace
