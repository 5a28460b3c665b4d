// The output tree that runs of the program leave in the working folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "output/list_merge.h"
#include "tests/test_support.h"

namespace {

using namespace testing_support;

std::vector<Entry> track(const std::string& path, const std::string& name,
                         std::vector<Entry> more = {}) {
    // Every column a value of its own, so that two columns swapped show in the row. Keys
    // count only whole; the last value of a key counts, and of a value on more than one line
    // its first line's part.
    std::vector<Entry> entries = {{"Name", stringValue(name)},
                                  {"Artist", stringValue("Foo Band")},
                                  {"Composer", stringValue("no")},
                                  {"Album", stringValue("First Album")},
                                  {"Genre", stringValue("Rock")},
                                  {"Total Time", integerValue("215000")},
                                  {"Disc Number", integerValue("1")},
                                  {"Disc Count", integerValue("2")},
                                  {"Track Number", integerValue("3")},
                                  {"Track Count", integerValue("10")},
                                  {"Year", integerValue("2001")},
                                  {"Date Added", "<date>2015-04-01T10:00:00Z</date>"},
                                  {"Albu", stringValue("no")},
                                  {"Genre ", stringValue("no")},
                                  {"Composer", "<string>Cmp\nmore</string>"}};
    if (!path.empty()) {
        entries.push_back({"Location", locationValue(path)});
    }
    entries.insert(entries.end(), more.begin(), more.end());
    return entries;
}

void run(const std::vector<std::vector<Entry>>& tracks) {
    writeFile("iTunes Music Library.xml", exportText(tracks));
    ASSERT_EQ(runProgram({}).exitStatus, 0);
}

const char* const kIntroRow =
    "12,5,01 Intro.mp3,Intro,Foo Band,,Cmp,First Album,Rock,215000,1,2,3,10,2001,"
    "2015-04-01T10:00:00Z\r\n";

// Where tracks land for the media folder the export names (none when empty), after two
// runs: in the album list `placedIn`, or in the error list, in the order met, its rows
// named here by their tracks' places in the export.
TEST(Organiser, LayoutsOfTheMediaFolderAndTheErrorListsOrder) {
    struct Case {
        std::string musicFolder;
        std::vector<std::string> locations;  // "": a track without a Location
        std::string placedIn;
        std::string errorNames;
    };
    const Case cases[] = {
        {"C:/i/iTunes%20Media/", {"C:/i/iTunes%20Media/Music/A/B/1.mp3"}, "Music/A/B/list.csv", ""},
        {"D:/Music/", {"D:/Music/Music/A/B/1.mp3"}, "Music/A/B/list.csv", ""},
        {"C:/i/iTunes%20Music/", {"C:/i/iTunes%20Music/A/B/1.mp3"}, "Music/A/B/list.csv", ""},
        {"c:/I/itunes%20music/", {"C:/i/iTunes%20Music/A/B/1.mp3"}, "Music/A/B/list.csv", ""},
        {"C:/i/iTunes%20Music/", {"C:/i/iTunes%20Music/tv%20SHOWS/S/1.m4v"}, "", "00"},
        {"C:/i/iTunes%20Music/", {"C:/i/Other/A/B/1.mp3"}, "", "00"},
        {"C:/i/iTunes%20Music", {"C:/i/iTunes%20Music2/B/1.mp3"}, "", "00"},
        {"", {"C:/i/iTunes%20Music/A/B/1.mp3"}, "", "00"},
        {"", {"Media/Music/A/%3F/z.mp3", "", "Media/Music/A/%3F/a.mp3"}, "", "012012"},
    };
    for (const Case& c : cases) {
        ScopedTempFolder folder;
        std::vector<std::vector<Entry>> tracks;
        for (const std::string& location : c.locations) {
            tracks.push_back({{"Name", stringValue(std::to_string(tracks.size()))}});
            if (!location.empty()) {
                tracks.back().push_back({"Location", locationValue(location)});
            }
        }
        std::string url = c.musicFolder.empty() ? "" : "file://localhost/" + c.musicFolder;
        writeFile("x.xml", exportText(tracks, true, url));
        ASSERT_EQ(runProgram({"x.xml"}).exitStatus, 0);
        ASSERT_EQ(runProgram({"x.xml"}).exitStatus, 0);
        EXPECT_TRUE(c.placedIn.empty() || fileExists(c.placedIn)) << c.locations[0];
        EXPECT_EQ(fileExists("errlist.csv"), !c.errorNames.empty()) << c.locations[0];
        std::string names;
        for (const std::string& row :
             listRows(c.errorNames.empty() ? "" : readFile("errlist.csv"))) {
            names += row[row.find(',', row.find(',') + 1) + rowKey(row).size() + 2];
        }
        EXPECT_EQ(names, c.errorNames) << c.locations[0];
    }
}

TEST(Organiser, NothingIsWrittenOutsideTheWorkingFolder) {
    ScopedTempFolder outer;
    makeFolders("work/Music");
    std::filesystem::current_path("work");
    run({track("Media/Music/../x/1.mp3", "a"), track("Media/Music/%2E%2E/x/2.mp3", "b"),
         track("Media/Music/a/%2E%2E/3.mp3", "c"), track("Media/Music/a%2F..%2F..%2F/x/4.mp3", "d"),
         track("Media/Music/..%5C../x/5.mp3", "e"), track("Media/Music/&#46;&#46;/x/6.mp3", "f"),
         track("Media/Music/../../7.mp3", "g", {{"Compilation", "<true/>"}}),
         track("Media/Music/.../x/8.mp3", "h"),
         // "%00" decodes to an empty artist name: "B" must not be made among the artists.
         track("Media/Music/%00/B/", "i")});
    std::filesystem::current_path("..");
    EXPECT_EQ(treeText("."),
              "work work/Music work/bunkai.lock work/err.csv work/errlist.csv work/iTunes Music "
              "Library.xml");
    std::string errors = readFile("work/errlist.csv");
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 9) << errors;
}

TEST(Organiser, RowThatCannotBeWrittenGoesToTheErrorList) {
    ScopedTempFolder folder;
    // A file standing where the album folder should be: the folder cannot be made.
    makeFolders("Music/Foo Band");
    writeFile("Music/Foo Band/First Album", "");
    run({track("Media/Music/Foo%20Band/First%20Album/01%20Intro.mp3", "Intro")});
    EXPECT_EQ(readFile("errlist.csv"), kIntroRow);
    EXPECT_FALSE(fileExists("list.csv"));
}

// Folder names whose letters differ only in case name one folder, as on Windows: ASCII and
// full-width letters fold, the trail bytes of "\x83\x41" and "\x83\x61" do not. A later run
// finds the folders whatever their letter case. "Trail." is the folder "Trail", as Windows
// makes it. A compilation's track goes to "Compilations" even from an artist's folder.
TEST(Organiser, FolderNamesAsWindowsHasThem) {
    ScopedTempFolder folder;
    const std::string wide = "%EF%BC%A1%EF%BC%A2", narrow = "%EF%BD%81%EF%BD%82";
    run({track("Media/Music/Abc/Trail./1.mp3", "a"),
         track("Media/Music/Abc/Trail./9.mp3", "i", {{"Compilation", "<true/>"}}),
         track("Media/Music/ABC/TRAIL/2.mp3", "b"),
         track("Media/Music/" + wide + "/" + narrow + "/3.mp3", "c"),
         track("Media/Music/%E3%82%A2/x/5.mp3", "e"), track("Media/Music/%E3%83%82/x/6.mp3", "f")});
    run({track("Media/Music/abc/trail/7.mp3", "g"),
         track("Media/Music/" + narrow + "/" + wide + "/8.mp3", "h")});
    const std::string fullWidth = "\x82\x60\x82\x61", album = fullWidth + "/\x82\x81\x82\x82";
    EXPECT_EQ(treeText("Music"),
              "Abc Abc/Trail Abc/Trail/list.csv Abc/list.csv Compilations "
              "Compilations/Trail Compilations/Trail/list.csv "
              "Compilations/list.csv " +
                  fullWidth + " " + fullWidth + "/list.csv " + album + " " + album +
                  "/list.csv \x83\x41 \x83\x41/list.csv \x83\x41/x "
                  "\x83\x41/x/list.csv \x83\x61 \x83\x61/list.csv \x83\x61/x "
                  "\x83\x61/x/list.csv");
    EXPECT_EQ(readFile("Music/Abc/list.csv"), "6,11,Trail.,First Album\r\n");
    const std::string rows = readFile("list.csv") + readFile("Music/Abc/Trail/list.csv") +
                             readFile("Music/" + album + "/list.csv");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 5 + 3 + 2);
}

// The music file of a Location is found whether the URL's path is relative to the working
// folder or absolute, and its cover lands in the album folder the track made, and only there.
// A device or an endless system file is not read.
TEST(Organiser, PicturesFromTheMusicFiles) {
    ScopedTempFolder folder;
    const std::string media = std::string(BUNKAI_TEST_DATA) + "/media/";
    for (const char* album : {"Png", "Jpeg", "Old"}) {
        makeFolders(std::string("Media/Music/A/") + album);
        std::filesystem::copy_file(media + "with-png.m4a",
                                   std::string("Media/Music/A/") + album + "/1.m4a");
    }
    std::filesystem::copy_file(media + "with-jfif.mp3", "Media/Music/A/Jpeg/2.mp3");
    makeFolders("Music/A/Old");
    // As a player writes it: "localhost/" and then "tmp/..." on POSIX systems, "C:/..." on
    // Windows.
    std::string url = std::filesystem::absolute("Media/Music/A/Jpeg/2.mp3").generic_string();
    url.erase(0, url.front() == '/');
    run({track("Media/Music/A/Png/1.m4a", "a"), track(url, "b"),
         track("Media/Music/A/Old/1.m4a", "c"),
         track("dev/zero</string>Media/Music/A/Dev/1.mp3", "d"),
         track("proc/self/pagemap</string>Media/Music/A/Proc/1.mp3", "e")});
    EXPECT_EQ(readFile("Music/A/Png/img.png"), readFile(media + "cover.png"));
    EXPECT_EQ(readFile("Music/A/Jpeg/img.jpg"), readFile(media + "cover-jfif.jpg"));
    EXPECT_EQ(treeText("Music/A"),
              "Dev Dev/list.csv Jpeg Jpeg/img.jpg Jpeg/list.csv Old Old/list.csv Png Png/img.png "
              "Png/list.csv Proc Proc/list.csv list.csv");
}

// Many new albums, each with a picture of its own, all placed from the first run: while the
// placing falls behind, the reader finds pictures ahead, and each must reach its own album.
TEST(Organiser, EveryNewAlbumGetsItsOwnPicture) {
    using namespace std::string_literals;
    ScopedTempFolder folder;
    std::vector<std::vector<Entry>> tracks;
    for (int album = 0; album < 400; ++album) {
        const std::string name = std::to_string(album);
        makeFolders("Media/Music/A/" + name);
        writeFile("Media/Music/A/" + name + "/1.mp3",
                  album % 2 ? "ID3\xFF\xD8\xFF\xE0\x00\x10JFIF\x00"s + name + "\xFF\xD9"
                            : "ID3\x89PNG\r\n\x1a\n"s + name + "IEND\xAE\x42\x60\x82");
        tracks.push_back(track("Media/Music/A/" + name + "/1.mp3", name));
        tracks.push_back(track("Media/Music/A/" + name + "/2.mp3", name + "b"));
    }
    run(tracks);
    for (int album = 0; album < 400; ++album) {
        const std::string name = std::to_string(album);
        EXPECT_EQ(readFile("Music/A/" + name + (album % 2 ? "/img.jpg" : "/img.png")),
                  readFile("Media/Music/A/" + name + "/1.mp3").substr(3))
            << name;
    }
}

}  // namespace
