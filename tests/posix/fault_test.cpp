// Runs under faults and on hostile input: the run goes on, prints only what it always
// prints, loses no row already on disk, and writes nothing outside its working folder.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/export_builder.h"
#include "tests/list_format.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

const std::string kHead = "iTunesのxmlを分解するツール\nVer：0.20210531\n";
const std::string kCompleteRun = "xmlを解析します\n情報を解析中\n";

std::vector<Entry> track(const std::string& path, const std::string& name) {
    return {{"Name", stringValue(name)}, {"Location", locationValue(path)}};
}

std::string dots(std::size_t tracks) {
    return std::string(tracks + 1, '.');
}

const std::string kListsNotWritten = "書き込めなかった一覧があります。もう一度実行してください\n";

std::string completeOutput(std::size_t tracks) {
    return kHead + kCompleteRun + dots(tracks) + "\nプレイリストへ\n解析終わり\n";
}

TEST(Faults, ExportsThatAreNoExports) {
    ScopedTempFolder folder;
    fs::create_directory("folder.xml");
    RunResult asFolder = runProgram({"folder.xml"});
    EXPECT_EQ(asFolder.exitStatus, 255);
    EXPECT_FALSE(fs::exists("Music"));

    writeFile("empty.xml", "");
    RunResult empty = runProgram({"empty.xml"});
    EXPECT_EQ(empty.exitStatus, 0);
    EXPECT_EQ(empty.output, kHead + "xmlを解析します\n");
}

TEST(Faults, MusicFilesThatVanishOrCannotBeRead) {
    ScopedTempFolder folder;
    fs::create_directories("Media/Music/A/Folder/x.mp3");  // a folder, not a file
    writeFile("x.xml", exportText({track("Media/Music/A/Gone/1.mp3", "gone"),
                                   track("Media/Music/A/Folder/x.mp3", "folder")}));
    RunResult run = runProgram({"x.xml"});
    EXPECT_EQ(run.output, completeOutput(2));
    EXPECT_TRUE(fs::exists("Music/A/Gone/list.csv"));
    EXPECT_TRUE(fs::exists("Music/A/Folder/list.csv"));
    EXPECT_FALSE(fs::exists("Music/A/Gone/img.png") || fs::exists("Music/A/Gone/img.jpg"));
}

// Links, named pipes and devices planted where the program keeps its own files (folders:
// Organiser.LinkedFoldersLeadNowhere): the run ends as usual, reads and writes nothing
// outside its working folder, and leaves what was planted.
TEST(Faults, LinksAndPipesInTheOutputTree) {
    struct Planted {
        std::string place;
        std::string linkTo;  // empty for a named pipe
        int errorRows;       // rows of errlist.csv afterwards; -1 when it is the pipe
        int exitStatus;      // 1 when a list could not be written: the run says so
    };
    const Planted cases[] = {
        {"list.csv", "../outside/file", 1, 1},
        {"list.csv", "/dev/zero", 1, 1},
        {"list.csv.bunkai-new", "../outside/file", 1, 0},
        {"errlist.csv.bunkai-new", "../outside/file", 1, 0},
        {"err.csv", "../outside/file", 1, 0},
        {"bunkai.journal", "../outside/none", 3, 1},
        {"bunkai.lock", "../outside/none", 1, 0},
        {"bunkai.journal", "", 3, 1},
        {"list.csv", "", 1, 1},
        {"errlist.csv", "", -1, 1},
        {"Music/A/B/list.csv", "", 3, 0},
        {"err.csv", "", 1, 0},
    };
    for (const Planted& planted : cases) {
        SCOPED_TRACE(planted.place + " -> " + planted.linkTo);
        ScopedTempFolder folder;
        fs::create_directory("outside");
        writeFile("outside/file", "1,1,k,secret\r\n");
        fs::create_directories("work/" + fs::path(planted.place).parent_path().string());
        writeFile("work/x.xml", exportText({track("Media/Music/A/B/1.mp3", "one"),
                                            track("Media/Music/A/B/%zz.mp3", "noted"),
                                            {{"Name", "<string>cloud</string>"}}}));
        fs::current_path("work");
        if (planted.linkTo.empty()) {
            ASSERT_EQ(mkfifo(planted.place.c_str(), 0666), 0);
        } else {
            fs::create_symlink(planted.linkTo, planted.place);
        }
        const fs::file_type type = fs::symlink_status(planted.place).type();
        RunResult run = runProgram({"x.xml"});
        EXPECT_EQ(run.exitStatus, planted.exitStatus);
        EXPECT_EQ(run.output,
                  completeOutput(3) + (planted.exitStatus == 0 ? "" : kListsNotWritten));
        EXPECT_EQ(fs::symlink_status(planted.place).type(), type);
        if (planted.errorRows >= 0) {
            std::string errors = readFile("errlist.csv");
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), planted.errorRows);
        }
        EXPECT_EQ(listTree("../outside"), std::vector<std::string>{"file"});
        EXPECT_EQ(readFile("../outside/file"), "1,1,k,secret\r\n");
    }
}

std::vector<std::vector<Entry>> firstExport() {
    return {track("Media/Music/A/B/1.mp3", "one"), track("Media/Music/C/D/1.mp3", "one")};
}

std::vector<std::vector<Entry>> secondExport() {
    std::vector<std::vector<Entry>> tracks = firstExport();
    for (int i = 0; i < 300; ++i) {
        tracks.push_back(track("Media/Music/A/B/" + std::to_string(i) + "x.mp3", "more"));
        tracks.push_back(track("Media/Music/E" + std::to_string(i) + "/F/1.mp3", "new"));
    }
    tracks.push_back({{"Name", stringValue("cloud")}});
    return tracks;
}

// Writes that fail as on a full disk (here: past a file size limit, which the program's runs
// inherit) lose no row already on disk and leave no partial file; once they succeed again,
// a rerun ends with the lists of the same runs made without the fault.
TEST(Faults, FullDiskLosesNothing) {
    if (!limitFileWrites(-1)) {
        GTEST_SKIP() << "file writes cannot be limited here";
    }
    ScopedTempFolder folder;
    writeFile("first.xml", exportText(firstExport()));
    writeFile("second.xml", exportText(secondExport()));
    makeFolders("disk");
    makeFolders("roomy");
    fs::current_path("roomy");
    runProgram({"../first.xml"});
    runProgram({"../second.xml"});
    fs::current_path("../disk");
    ASSERT_EQ(runProgram({"../first.xml"}).exitStatus, 0);
    const char* const lists[] = {"list.csv", "Music/A/list.csv", "Music/A/B/list.csv"};
    std::vector<std::string> before;
    for (const char* list : lists) {
        before.push_back(readFile(list));
    }
    ASSERT_TRUE(limitFileWrites(2000));
    RunResult run = runProgram({"../second.xml"});
    limitFileWrites(-1);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.output, completeOutput(secondExport().size()) + kListsNotWritten);
    for (std::size_t i = 0; i < before.size(); ++i) {
        // Either the old list whole, or a new one that still holds every old row.
        const std::string after = readFile(lists[i]);
        for (std::size_t at = 0, end; (end = before[i].find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            EXPECT_NE(after.find(before[i].substr(at, end + 2 - at)), std::string::npos) << i;
        }
        EXPECT_EQ(listFormatFault(after, i == 2), "") << i;
    }
    for (const std::string& path : listTree(".")) {
        EXPECT_EQ(path.find(".bunkai-new"), std::string::npos) << path;
    }
    EXPECT_EQ(runProgram({"../second.xml"}).exitStatus, 0);
    for (const std::string& path : listTree("../roomy")) {
        if (fs::path(path).filename() == "list.csv") {
            EXPECT_EQ(readFile(path), readFile("../roomy/" + path)) << path;
        }
    }
    EXPECT_EQ(listTree("."), listTree("../roomy"));
}

}  // namespace
