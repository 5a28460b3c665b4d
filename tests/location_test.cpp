// A Location line's local path and folder names, and the names Windows allows for folders.
#include "library/location.h"

#include <gtest/gtest.h>

#include "library/line_reader.h"
#include "library/media_folder.h"
#include "library/track_record.h"
#include "output/folder_names.h"
#include "tests/test_support.h"

namespace {

using testing_support::localName;

// The URL below "file://" (the media folder is "C:/M/"), and what it gives: the local path,
// "artist/album/file" and the notes for err.csv.
TEST(ResolveLocation, PathNamesAndNotes) {
    mediaFolderUrl = "file://localhost/C:/M/";
    const struct {
        std::string url;
        std::string location;
        std::string names;
        std::string notes;
    } cases[] = {
        {"localhost/C:/M/Music/A/B/01%20t.mp3", "C:/M/Music/A/B/01 t.mp3", "A/B/01 t.mp3", ""},
        {"localhost/m/Media/Music/Tom%20&#38;%20J/a+b/%e3%81%82", "m/Media/Music/Tom & J/a+b/あ",
         "Tom & J/a+b/あ", ""},
        {"localhost/x/Media/Music//A//B/C/D.mp3/", "x/Media/Music//A//B/C/D.mp3/", "A/B/C", ""},
        {"localhost/x/Media/Music/A/B", "x/Media/Music/A/B", "A/B/", ""},
        {"localhost/x/Media/Music/A%2FB/C/D", "x/Media/Music/A/B/C/D", "A/B/C/D", ""},
        {"localhost/x/Media/Music/100%25/cut%4/f", "x/Media/Music/100%25/cut%4/f", "100%/cut%4/f",
         "no files\r\nalbum\r\n"},
        {"localhost/x/Media/Music/A%zz/B%e3%81%82/f%00.mp3",
         "x/Media/Music/A%zz/B%e3%81%82/f%00.mp3", "A%zz/Bあ/f", "no files\r\nartist\r\nname\r\n"},
        // A line feed splits a row and a Ctrl-Z ends a list read back; a carriage return stays.
        {"localhost/x/Media/Music/A%0AB/x%1Ay/a%0Db.mp3", "x/Media/Music/A\nB/x\x1Ay/a\rb.mp3",
         "A%0AB/x%1Ay/a\rb.mp3", "artist\r\nalbum\r\n"},
        {"/Users/me/Media/Music/A/B/c.mp3", "", "A/B/c.mp3", ""},
        {"localhost/D:/Elsewhere/c.mp3", "D:/Elsewhere/c.mp3", "//", ""},
    };
    for (const auto& c : cases) {
        clearTrackRecord();
        const std::string line = "\t\t\t<key>Location</key><string>file://" + c.url + "</string>";
        currentLine = line;
        resolveLocation(line);
        const TrackRecord& t = trackRecord();
        EXPECT_EQ(t.location, localName(c.location)) << c.url;
        EXPECT_EQ(t.artistFolder + "/" + t.albumFolder + "/" + t.fileName, c.names) << c.url;
        EXPECT_EQ(t.artistFolderSjis, localName(t.artistFolder)) << c.url;
        std::string notes;
        for (const std::string& word : t.errorNotes) {
            notes += word + "\r\n";
        }
        EXPECT_EQ(notes, c.notes) << c.url;
    }
}

// Code page 932 names as Windows has them: the folder it makes (without trailing dots and
// blanks), names it refuses, and names that are no safe path level. 5C and 7C are no "\\" or
// "|" as trail bytes (katakana SO, "\x83\x7C").
TEST(FolderNames, AsWindowsHasThem) {
    EXPECT_EQ(windowsFolderName("Vol. 1. "), "Vol. 1");
    EXPECT_EQ(windowsFolderName(".hidden \x83\x5C"), ".hidden \x83\x5C");
    for (const char* refused :
         {"\x89\xC4?", "a:b", "\"q\"", "tab\there", "CON", "con.txt", "Lpt1"}) {
        EXPECT_FALSE(windowsAcceptsFolderName(refused)) << refused;
    }
    for (const char* accepted : {"Foo Band", ".hidden", "\x83\x7C", "COM0", "CONSOLE"}) {
        EXPECT_TRUE(windowsAcceptsFolderName(accepted)) << accepted;
    }
    for (const char* unsafe : {"..", ".. ", "a/b", "a\\b", ""}) {
        EXPECT_FALSE(isSafePathLevel(unsafe)) << unsafe;
    }
    EXPECT_TRUE(isSafePathLevel("\x83\x5C"));
    EXPECT_TRUE(isSafeFolderName("\xE3\x82\xBD", "\x83\x5C"));
    // The yen sign becomes 5C in code page 932: a separator on Windows.
    EXPECT_FALSE(isSafeFolderName("..\xC2\xA5..", "..\\.."));
}

}  // namespace
