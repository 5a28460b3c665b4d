#include "output/folder_names.h"
#include "library/location.h"

#include <gtest/gtest.h>

#include "library/track_record.h"
#include "tests/test_support.h"

namespace {

using testing_support::fileExists;
using testing_support::readFile;
using testing_support::ScopedTempFolder;

TEST(SplitMusicPath, Components) {
    ScopedTempFolder folder;
    struct Case {
        const char* path;
        const char* artist;
        const char* album;
        const char* file;
    };
    const Case cases[] = {
        {"Foo%20Band/First%20Album/01%20Intro.mp3", "Foo Band", "First Album", "01 Intro.mp3"},
        {"/A//B/C", "A", "B", "C"},
        {"A/B/C/", "A", "B", "C"},
        {"A/B/C/D.mp3", "A", "B", "C"},
        {"A/B", "A", "B", ""},
        {"A", "A", "", ""},
        {"", "", "", ""},
        {"A%2FB/C/D", "A/B", "C", "D"},
        {"Tom%20&#38;%20Jerry/x+y/z", "Tom & Jerry", "x+y", "z"},
    };
    for (const Case& c : cases) {
        clearTrackRecord();
        splitMusicPath(c.path);
        EXPECT_EQ(trackRecord.artistFolder, c.artist) << c.path;
        EXPECT_EQ(trackRecord.albumFolder, c.album) << c.path;
        EXPECT_EQ(trackRecord.fileName, c.file) << c.path;
        EXPECT_EQ(trackRecord.artistFolderSjis, c.artist) << c.path;
    }
    EXPECT_FALSE(fileExists("err.csv"));
}

TEST(SplitMusicPath, EscapesThatWouldBreakListRowsStayEncoded) {
    ScopedTempFolder folder;
    clearTrackRecord();
    // A line feed splits a row; a Ctrl-Z ends a list read back; a carriage return is kept.
    splitMusicPath("A%0AB/x%1Ay/a%0Db%0A%00.mp3");
    EXPECT_EQ(trackRecord.artistFolder, "A%0AB");
    EXPECT_EQ(trackRecord.albumFolder, "x%1Ay");
    EXPECT_EQ(trackRecord.fileName, "a%0Db%0A%00.mp3");
    EXPECT_EQ(readFile("err.csv"), "artist\r\nalbum\r\nname\r\n");
    clearTrackRecord();
    splitMusicPath("A/B/a%0Db.mp3");
    EXPECT_EQ(trackRecord.fileName, "a\rb.mp3");
}

TEST(FolderNames, Safety) {
    struct Case {
        std::string utf8;
        std::string sjis;
        bool safe;
    };
    const Case cases[] = {
        {"Foo Band", "Foo Band", true},
        {"..", "..", false},
        {".", ".", false},
        {".. ", ".. ", false},
        {"a/b", "a/b", false},
        {"a\\b", "a\\b", false},
        {".hidden", ".hidden", true},
        // The yen sign becomes 0x5C in code page 932: a separator on Windows.
        {"..\xC2\xA5..", "..\\..", false},
        // Katakana SO: 0x5C as the trail byte of a double-byte character is no separator.
        {"\xE3\x82\xBD", "\x83\x5C", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isSafeFolderName(c.utf8, c.sjis), c.safe) << c.utf8;
    }
}

TEST(FolderNames, WindowsAcceptance) {
    struct Case {
        std::string sjis;
        bool accepted;
    };
    const Case cases[] = {
        {"Foo Band", true},
        {"\x89\xC4\x8D\xD5\x82\xE8?\x89\xD4\x89\xCE?", false},  // wave dashes became "?"
        {"a:b", false},
        {"\"q\"", false},
        {"tab\there", false},
        {"CON", false},
        {"con.txt", false},
        {"Lpt1", false},
        {"COM0", true},
        {"CONSOLE", true},
        // 0x7C as the trail byte of a double-byte character is no "|".
        {"\x83\x7C", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(windowsAcceptsFolderName(c.sjis), c.accepted) << c.sjis;
    }
}

TEST(FolderNames, TrailingDotsAndBlanksAreDropped) {
    EXPECT_EQ(windowsFolderName("Vol. 1."), "Vol. 1");
    EXPECT_EQ(windowsFolderName("Trail . "), "Trail");
    EXPECT_EQ(windowsFolderName(".hidden"), ".hidden");
    EXPECT_EQ(windowsFolderName("\x83\x5C"), "\x83\x5C");
    EXPECT_EQ(windowsFolderName(""), "");
}

}  // namespace
