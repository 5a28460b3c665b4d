#include "library/location.h"
#include "encoding/url_text.h"

#include <gtest/gtest.h>

#include "library/line_reader.h"
#include "library/track_record.h"
#include "tests/test_support.h"

namespace {

using testing_support::fileExists;
using testing_support::localName;
using testing_support::readFile;
using testing_support::ScopedTempFolder;

TEST(UrlDecode, Escapes) {
    struct Case {
        const char* input;
        int result;
        std::string expected;
    };
    const Case cases[] = {
        {"01%20Intro.mp3", 0, "01 Intro.mp3"},
        {"%e3%81%82", 0, "\xE3\x81\x82"},
        {"a+b++c", 0, "a+b++c"},
        {"100%25", 0, "100%"},
        {"%2F", 0, "/"},
        {"bad%g0", -1, "bad%g0"},
        {"cut%4", -1, "cut%4"},
        {"%41%zz", -1, "%41%zz"},
        {"ab%00cd", -1, "ab"},
    };
    for (const Case& c : cases) {
        std::string text = c.input;
        EXPECT_EQ(urlDecode(text), c.result) << c.input;
        EXPECT_EQ(text, c.expected) << c.input;
    }
}

void resolve(const std::string& url) {
    clearTrackRecord();
    const std::string line = "\t\t\t<key>Location</key><string>" + url + "</string>";
    currentLine = line;
    resolveLocation(currentLine);
}

TEST(ResolveLocation, LocalPathAndNames) {
    ScopedTempFolder folder;
    resolve("file://localhost/C:/M/iTunes%20Media/Music/A/B/01%20t.mp3");
    EXPECT_EQ(trackRecord.location, localName("C:/M/iTunes Media/Music/A/B/01 t.mp3"));
    EXPECT_EQ(trackRecord.artistFolder, "A");
    EXPECT_EQ(trackRecord.albumFolder, "B");
    EXPECT_EQ(trackRecord.fileName, "01 t.mp3");

    resolve("file://localhost/m/Media/Music/Tom%20&#38;%20Jerry/a+b/%e3%81%82.mp3");
    EXPECT_EQ(trackRecord.location,
              localName("m/Media/Music/Tom & Jerry/a+b/\xE3\x81\x82.mp3"));
    EXPECT_EQ(trackRecord.artistFolder, "Tom & Jerry");
    EXPECT_EQ(trackRecord.albumFolder, "a+b");
    EXPECT_EQ(trackRecord.fileName, "\xE3\x81\x82.mp3");
    EXPECT_FALSE(fileExists("err.csv"));
}

TEST(ResolveLocation, UndecodablePathsAreNoted) {
    ScopedTempFolder folder;
    resolve("file://localhost/C:/x/Media/Music/A%zz/B%e3%81%82/f%00.mp3");
    EXPECT_EQ(trackRecord.location, localName("C:/x/Media/Music/A%zz/B%e3%81%82/f%00.mp3"));
    EXPECT_EQ(trackRecord.artistFolder, "A%zz");
    EXPECT_EQ(trackRecord.albumFolder, "B\xE3\x81\x82");
    EXPECT_EQ(trackRecord.fileName, "f");
    EXPECT_EQ(readFile("err.csv"), "no files\r\nartist\r\nname\r\n");
}

TEST(ResolveLocation, WithoutHostOrMediaFolder) {
    ScopedTempFolder folder;
    resolve("file:///Users/me/Music/iTunes/iTunes%20Media/Music/A/B/c.mp3");
    EXPECT_EQ(trackRecord.location, "");
    EXPECT_EQ(trackRecord.fileName, "c.mp3");
    resolve("file://localhost/D:/Elsewhere/c.mp3");
    EXPECT_EQ(trackRecord.location, localName("D:/Elsewhere/c.mp3"));
    EXPECT_EQ(trackRecord.artistFolder + trackRecord.albumFolder + trackRecord.fileName, "");
}

}  // namespace
