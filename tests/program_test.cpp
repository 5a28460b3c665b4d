// The program as a user runs it: in a folder, with or without the export's path.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "driver/program.h"
#include "output/list_store.h"
#include "platform/lock.h"
#include "tests/export_builder.h"
#include "tests/test_support.h"

namespace {

using namespace testing_support;

// The texts in UTF-8; consoleText gives the bytes this build writes for them.
const std::string kHead =
    "iTunesのxmlを分解するツール\n"
    "Ver：0.20210531\n";
const std::string kUsage =
    "使用法\n"
    "●「iTunes Music Library.xml」か「ライブラリ.xml」をbunkaiと同じフォルダに置く\n"
    "●bunkai.exeをダブルクリックする\n"
    "何か押すと終了";
const std::string kStart = "xmlを解析します\n情報を解析中\n";

// The console output of a run that read an export, ending with `ending`.
std::string runOutput(const std::string& ending) {
    return consoleText(kHead + kStart + ending);
}

std::vector<Entry> namedTrack(const std::string& name) {
    return {{"Name", stringValue(name)}};
}

TEST(Program, UsageWithoutAnExport) {
    ScopedTempFolder folder;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"missing.xml"}, {"a.xml", "b.xml"}}) {
        RunResult run = runProgram(arguments);
        EXPECT_EQ(run.output, consoleText(kHead + kUsage));
        EXPECT_EQ(run.exitStatus, -1);
        EXPECT_FALSE(fileExists("Music"));
    }
    // Two arguments show the usage even when the first names a readable export.
    writeFile("a.xml", exportText({}));
    EXPECT_EQ(runProgram({"a.xml", "a.xml"}).exitStatus, -1);
    EXPECT_FALSE(fileExists("Music"));
}

TEST(Program, ChoosesTheExport) {
    ScopedTempFolder folder;
    writeFile(localName("ライブラリ.xml"), exportText({namedTrack("a")}));
    RunResult japanese = runProgram({});
    EXPECT_EQ(japanese.output, runOutput("..\nプレイリストへ\n解析終わり\n"));
    EXPECT_EQ(japanese.exitStatus, 0);
    // With both files present the English name wins.
    writeFile("iTunes Music Library.xml", exportText({namedTrack("a"), namedTrack("b")}));
    EXPECT_EQ(runProgram({}).output, runOutput("...\nプレイリストへ\n解析終わり\n"));
    // A path given on the command line, elsewhere: "Music" is still made here.
    makeFolders("sub");
    writeFile("sub/other.xml", exportText({}));
    RunResult run = runProgram({"sub/other.xml"});
    EXPECT_EQ(run.output, runOutput(".\nプレイリストへ\n解析終わり\n"));
    EXPECT_EQ(run.exitStatus, 0);
}

TEST(Program, EndsWithoutPlaylistsOrTopLevelDictionary) {
    ScopedTempFolder folder;
    writeFile("x.xml", exportText({namedTrack("a")}, false));
    EXPECT_EQ(runProgram({"x.xml"}).output, runOutput("..終わり\n"));

    // An indented top-level "<dict>" is not recognised.
    writeFile("y.xml", "<plist>\n  <dict>\n</dict>\n");
    RunResult indented = runProgram({"y.xml"});
    EXPECT_EQ(indented.output, consoleText(kHead + "xmlを解析します\n"));
    EXPECT_EQ(indented.exitStatus, 0);
}

TEST(Program, NestedDictionaryDoesNotLoseLaterTracks) {
    ScopedTempFolder folder;
    std::vector<Entry> nested = {
        {"Name", stringValue("one")},
        {"Extra", ""},
        {"", "\t\t\t<dict>\n\t\t\t\t<key>Name</key><string>inner</string>\n\t\t\t</dict>"},
        {"Location", locationValue("Media/Music/A/B/1.mp3")},
    };
    std::vector<Entry> later = {{"Name", stringValue("two")},
                                {"Location", locationValue("Media/Music/A/B/2.mp3")}};
    writeFile("x.xml", exportText({nested, later}));
    RunResult run = runProgram({"x.xml"});
    EXPECT_EQ(run.output, runOutput("..\nなんでやー\n.\nプレイリストへ\n解析終わり\n"));
    std::string list = readFile("Music/A/B/list.csv");
    EXPECT_NE(list.find("5,3,1.mp3,one,"), std::string::npos) << list;
    EXPECT_NE(list.find("5,3,2.mp3,two,"), std::string::npos) << list;
}

// The last track of an export that ends inside its dictionary is still placed.
TEST(Program, ExportCutOffInsideTheLastTrack) {
    ScopedTempFolder folder;
    const std::string text = exportText(
        {{{"Location", locationValue("Media/Music/A/B/1.mp3")}, {"Name", stringValue("one")}}});
    writeFile("x.xml", text.substr(0, text.find('\n', text.find("<key>Name")) + 1));
    runProgram({"x.xml"});
    EXPECT_NE(readFile("Music/A/B/list.csv").find("5,3,1.mp3,one,"), std::string::npos);
}

// A list that cannot be read or replaced (held open by a spreadsheet program, here a folder
// in its place) keeps its rows for the next run, and the run says so.
TEST(Program, ListThatCannotBeWrittenIsFinishedByTheNextRun) {
    ScopedTempFolder folder;
    writeFile("x.xml", exportText({{{"Name", stringValue("a")},
                                    {"Location", locationValue("Media/Music/A/B/1.mp3")}}}));
    makeFolders("list.csv");
    RunResult run = runProgram({"x.xml"});
    EXPECT_EQ(run.output, runOutput("..\nプレイリストへ\n解析終わり\n"
                                    "書き込めなかった一覧があります。もう一度実行してください\n"));
    EXPECT_EQ(run.exitStatus, 1);
    std::filesystem::remove("list.csv");
    EXPECT_EQ(runProgram({"x.xml"}).exitStatus, 0);
    EXPECT_EQ(readFile("list.csv"), "1,0,A,\r\n");
}

// Two runs at once in one folder would each write back its own lists over the other's. A
// run that finds the folder taken ends at once, before it makes "Music" or replays the
// journal, and says why.
TEST(Program, SecondRunAtOnceChangesNothing) {
    ScopedTempFolder folder;
    writeFile("x.xml", exportText({namedTrack("a")}));
    const std::string texts[] = {"list.csv", "a", "1,1,a,v\n"};
    writeFile(kJournalName, journalRecordBytes('N', 'I', texts, 3));
    {
        platform::WorkingFolderLock firstRun;
        ASSERT_EQ(firstRun.state(), platform::LockState::held);
        std::vector<std::string> tree = listTree(".");
        RunResult second = runProgram({"x.xml"});
        EXPECT_EQ(second.output, consoleText(kHead + "ほかのbunkaiがこのフォルダを使っています。"
                                                     "終わってからもう一度実行してください\n"));
        EXPECT_EQ(second.exitStatus, 2);
        EXPECT_EQ(listTree("."), tree);
    }
    // The lock goes with its holder.
    EXPECT_EQ(runProgram({"x.xml"}).exitStatus, 0);
    EXPECT_EQ(readFile("list.csv"), "1,1,a,v\r\n");
}

// The program keeps its state in program-wide objects: a second run in the same process, in
// another folder, must make what the first made, not take it as made already.
TEST(Program, RunInTheSameProcessStartsAfresh) {
    ScopedTempFolder folder;
    writeFile(
        "x.xml",
        exportText(
            {{{"Name", stringValue("one")}, {"Location", locationValue("Media/Music/A/B/1.mp3")}},
             {{"Name", stringValue("two")}, {"Location", locationValue("Media/Music/A/C/")}}}));
    std::vector<std::vector<std::string>> trees;
    for (const char* work : {"first", "second"}) {
        std::filesystem::create_directory(work);
        std::filesystem::current_path(work);
        std::string program = "bunkai";
        std::string exportPath = "../x.xml";
        char* argv[] = {program.data(), exportPath.data(), nullptr};
        EXPECT_EQ(::runProgram(2, argv), 0);
        std::filesystem::current_path("..");
        trees.push_back(listTree(work));
    }
    EXPECT_EQ(trees[0], trees[1]);
    EXPECT_NE(std::find(trees[0].begin(), trees[0].end(), "Music/A/C"), trees[0].end());
}

}  // namespace
