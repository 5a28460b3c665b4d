#include "library/track_parser.h"

#include <gtest/gtest.h>

#include "library/line_reader.h"
#include "library/track_record.h"
#include "tests/test_support.h"

namespace {

void parse(const std::string& line) {
    currentLine = line;
    parseTrackLine(keyOf(line), line);
}

std::string entry(const std::string& key, const std::string& value) {
    return "\t\t\t<key>" + key + "</key>" + value;
}

TEST(TrackParser, FillsFieldsFromTheirKeys) {
    clearTrackRecord();
    parse(entry("Name", "<string>Intro &#38; Outro</string>"));
    parse(entry("Artist", "<string>Foo &amp; Band</string>"));
    parse(entry("Album Artist", "<string>A &lt;B&gt;</string>"));
    parse(entry("Composer", "<string>C</string>"));
    parse(entry("Album", "<string>First Album</string>"));
    parse(entry("Genre", "<string>Rock</string>"));
    parse(entry("Total Time", "<integer>215000</integer>"));
    parse(entry("Disc Number", "<integer>1</integer>"));
    parse(entry("Disc Count", "<integer>2</integer>"));
    parse(entry("Track Number", "<integer>3</integer>"));
    parse(entry("Track Count", "<integer>10</integer>"));
    parse(entry("Year", "<integer>1999</integer>"));
    parse(entry("Date Added", "<date>2015-04-01T10:00:00Z</date>"));
    parse(entry("Compilation", "<false/>"));
    const TrackRecord& t = trackRecord;
    EXPECT_EQ(t.name, "Intro & Outro");
    EXPECT_EQ(t.artist, "Foo & Band");
    EXPECT_EQ(t.albumArtist, "A <B>");
    EXPECT_EQ(t.composer, "C");
    EXPECT_EQ(t.album, "First Album");
    EXPECT_EQ(t.genre, "Rock");
    EXPECT_EQ(t.totalTime, "215000");
    EXPECT_EQ(t.discNumber, "1");
    EXPECT_EQ(t.discCount, "2");
    EXPECT_EQ(t.trackNumber, "3");
    EXPECT_EQ(t.trackCount, "10");
    EXPECT_EQ(t.year, "1999");
    EXPECT_EQ(t.dateAdded, "2015-04-01T10:00:00Z");
    EXPECT_TRUE(t.hasAlbumArtist);
    EXPECT_TRUE(t.isCompilation);
}

TEST(TrackParser, KeysMatchExactly) {
    clearTrackRecord();
    for (const char* key : {"name", "Name ", "Album Artist2", " Artist", "Albu", "Location2"}) {
        parse(entry(key, "<string>x</string>"));
    }
    const TrackRecord& t = trackRecord;
    EXPECT_EQ(t.name + t.artist + t.albumArtist + t.album + t.location, "");
    EXPECT_FALSE(t.hasAlbumArtist);
}

TEST(TrackParser, FlagsAndRepeatedKeys) {
    clearTrackRecord();
    parse(entry("Album Artist", "<string></string>"));
    parse(entry("Name", "<string>first</string>"));
    parse(entry("Name", "<string>second</string>"));
    EXPECT_TRUE(trackRecord.hasAlbumArtist);
    EXPECT_EQ(trackRecord.albumArtist, "");
    EXPECT_EQ(trackRecord.name, "second");
    // A value that goes on over the next lines gives its first line's part.
    parse(entry("Genre", "<string>line one"));
    EXPECT_EQ(trackRecord.genre, "line one");

    clearTrackRecord();
    EXPECT_FALSE(trackRecord.hasAlbumArtist);
    EXPECT_EQ(trackRecord.name, "");
}

}  // namespace
