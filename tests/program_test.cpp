// The program as a user runs it: in a folder, with or without the export's path.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "output/journal.h"
#include "platform/lock.h"
#include "tests/test_support.h"

namespace {

using namespace testing_support;

// The texts in UTF-8; consoleText gives the bytes this build writes for them.
const std::string kHead = "iTunesのxmlを分解するツール\nVer：0.20210531\n";
const std::string kUsage =
    "使用法\n●「iTunes Music Library.xml」か「ライブラリ.xml」をbunkaiと同じフォルダに置く\n"
    "●bunkai.exeをダブルクリックする\n何か押すと終了";
const std::string kRead = "xmlを解析します\n情報を解析中\n";
const std::string kDone = "\nプレイリストへ\n解析終わり\n";

std::vector<Entry> named(const std::string& name, const std::string& path = "") {
    std::vector<Entry> track = {{"Name", stringValue(name)}};
    if (!path.empty()) {
        track.push_back({"Location", locationValue(path)});
    }
    return track;
}

// Which export a run reads, and what it shows, for the files in the folder and the
// arguments: "E" is "iTunes Music Library.xml" with two tracks, "J" "ライブラリ.xml" with one,
// "S" "sub/other.xml" with none, "P" "p.xml" with one and no playlists, "0" an empty
// "empty.xml", "I" an export whose top-level dictionary is indented; "dir.xml" is a folder.
TEST(Program, ChoosesTheExportOrShowsTheUsage) {
    const struct {
        std::string files;
        std::vector<std::string> arguments;
        std::string output;
        int status;
    } cases[] = {
        {"", {}, kUsage, -1},
        {"E", {"missing.xml"}, kUsage, -1},
        {"E", {"iTunes Music Library.xml", "iTunes Music Library.xml"}, kUsage, -1},
        {"", {"dir.xml"}, kUsage, -1},
        {"J", {}, kRead + ".." + kDone, 0},
        {"EJ", {}, kRead + "..." + kDone, 0},
        {"ES", {"sub/other.xml"}, kRead + "." + kDone, 0},
        {"0", {"empty.xml"}, "xmlを解析します\n", 0},
        {"I", {"indented.xml"}, "xmlを解析します\n", 0},
        {"P", {"p.xml"}, kRead + "..終わり\n", 0},
    };
    for (const auto& c : cases) {
        ScopedTempFolder folder;
        makeFolders("sub");
        makeFolders("dir.xml");
        for (const char file : c.files) {
            if (file == 'E') {
                writeFile("iTunes Music Library.xml", exportText({named("a"), named("b")}));
            } else if (file == 'J') {
                writeFile(localName("ライブラリ.xml"), exportText({named("a")}));
            } else if (file == 'S') {
                writeFile("sub/other.xml", exportText({}));
            } else if (file == 'P') {
                writeFile("p.xml", exportText({named("a")}, false));
            } else {
                writeFile(file == '0' ? "empty.xml" : "indented.xml",
                          file == '0' ? "" : "<plist>\n  <dict>\n</dict>\n");
            }
        }
        const RunResult run = runProgram(c.arguments);
        EXPECT_EQ(run.output, consoleText(kHead + c.output)) << c.files;
        EXPECT_EQ(run.exitStatus, c.status) << c.files;
        EXPECT_EQ(fileExists("Music"), c.status == 0) << c.files;
    }
}

TEST(Program, NestedDictionaryOrACutOffEndLoseNoTrack) {
    ScopedTempFolder folder;
    std::vector<Entry> nested = named("one", "Media/Music/A/B/1.mp3");
    nested.insert(
        nested.begin() + 1,
        {"", "\t\t\t<dict>\n\t\t\t\t<key>Name</key><string>inner</string>\n\t\t\t</dict>"});
    writeFile("x.xml", exportText({nested, named("two", "Media/Music/A/B/2.mp3")}));
    EXPECT_EQ(runProgram({"x.xml"}).output,
              consoleText(kHead + kRead + "..\nなんでやー\n." + kDone));
    // An export that ends inside its last track still has that track placed.
    const std::string text = exportText({named("three", "Media/Music/A/B/3.mp3")});
    writeFile("y.xml", text.substr(0, text.find("</dict>")));
    runProgram({"y.xml"});
    const std::string list = readFile("Music/A/B/list.csv");
    for (const char* row : {"5,3,1.mp3,one,", "5,3,2.mp3,two,", "5,5,3.mp3,three,"}) {
        EXPECT_NE(list.find(row), std::string::npos) << row << " in " << list;
    }
}

// Odd exports (inputs an earlier fuzzer kept), each run twice in an empty folder: the runs end
// normally, make nothing beside the working folder and no file but the program's own, and
// write every list row whole; the second changes only the error lists, which gain a copy of
// each of their rows.
TEST(Program, OddExportsLeaveWellFormedLists) {
    namespace fs = std::filesystem;
    const std::regex kOwnOrInput(
        "Media(/.*)?|export.xml|Music(/[^/]+){0,2}|(Music(/[^/]+){0,2}/)?list[.]csv|"
        "Music/[^/]+/[^/]+/img[.](png|jpg)|errlist[.]csv|err[.]csv|bunkai[.]lock");
    for (const auto& input : fs::directory_iterator(toPath(BUNKAI_TEST_DATA "/odd-exports"))) {
        SCOPED_TRACE(fromPath(input.path()));
        ScopedTempFolder outer;
        makeFolders("work/Media/Music/A/B");
        writeFile("work/Media/Music/A/B/01.mp3", "ID3\x89PNG\r\n\x1a\nIEND\xAE\x42\x60\x82");
        writeFile("work/export.xml", readFile(fromPath(input.path())));
        fs::current_path("work");
        std::map<std::string, std::multiset<std::string>> runs[2];
        for (auto& files : runs) {
            ASSERT_EQ(runProgram({"export.xml"}).exitStatus, 0);
            for (const std::string& path : listTree(".")) {
                std::istringstream lines(fs::is_directory(toPath(path)) ? "" : readFile(path));
                for (std::string line; std::getline(lines, line);) {
                    files[path].insert(line);
                }
                EXPECT_TRUE(std::regex_match(path, kOwnOrInput)) << path;
            }
            EXPECT_EQ(listsFault("."), "");
        }
        for (auto& [path, lines] : runs[0]) {
            if (path == "err.csv" || path == "errlist.csv") {
                const std::multiset<std::string> once = lines;
                lines.insert(once.begin(), once.end());
            }
            EXPECT_EQ(runs[1][path], lines) << path;
        }
        EXPECT_EQ(runs[0].size(), runs[1].size());
        EXPECT_EQ(std::distance(fs::directory_iterator(".."), {}), 1);
    }
}

// Two runs at once in one folder would each write back its own lists over the other's. A
// run that finds the folder taken ends at once, before it makes "Music" or replays the
// journal, and says why.
TEST(Program, SecondRunAtOnceChangesNothing) {
    ScopedTempFolder folder;
    writeFile("x.xml", exportText({named("a")}));
    const std::string texts[] = {"list.csv", "a", "1,1,a,v\n"};
    writeFile(kJournalName, journalRecordBytes('N', 'I', texts, 3));
    {
        platform::WorkingFolderLock firstRun;
        ASSERT_EQ(firstRun.state(), platform::LockState::held);
        const std::vector<std::string> tree = listTree(".");
        const RunResult second = runProgram({"x.xml"});
        EXPECT_EQ(second.output, consoleText(kHead + "ほかのbunkaiがこのフォルダを使っています。"
                                                     "終わってからもう一度実行してください\n"));
        EXPECT_EQ(second.exitStatus, 2);
        EXPECT_EQ(listTree("."), tree);
    }
    EXPECT_EQ(runProgram({"x.xml"}).exitStatus, 0);
    EXPECT_EQ(readFile("list.csv"), "1,1,a,v\r\n");
}

}  // namespace
