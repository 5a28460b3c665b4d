// Runs that meet a full disk or an interruption at each of their file operations in turn
// (through the seam in platform/files.h), and runs in an output tree where links and pipes
// were planted: nothing already on disk is lost, nothing is written outside the working
// folder, and the next run ends with what an undisturbed run gives.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "output/journal.h"
#include "platform/files.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

const std::string kNotWritten = "書き込めなかった一覧があります。もう一度実行してください\n";

// A track of album `album` by `artist`, whose music file holds a PNG, a JPEG or no picture.
// Album 7 has a long file name, so that its new list, cut in half, is cut within a row's key.
std::vector<Entry> track(int artist, int album, int number) {
    const std::string folder = "A" + std::to_string(artist) + "/B" + std::to_string(album);
    const std::string file = "Media/Music/" + folder + "/" + std::to_string(number) +
                             std::string(album == 7 ? 200 : 0, 'n') + ".mp3";
    const std::string mark = folder + std::string(3000, 'p');
    const std::string pictures[] = {
        "\x89PNG" + mark + "IEND1234",
        std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11) + mark + "\xFF\xD9", mark};
    fs::create_directories(fs::path(file).parent_path());
    writeFile(file, std::string(5000, 's') + pictures[album % 3]);
    return {{"Name", stringValue("T" + std::to_string(number))},
            {"Artist", stringValue("Artist " + std::to_string(artist))},
            {"Album", stringValue("Album " + std::to_string(album))},
            {"Location", locationValue(file)}};
}

// The rows of the list at `path`; none when there is no such file.
std::set<std::string> rowsOf(const fs::path& path) {
    std::istringstream text(fs::exists(path) ? readFile(path.string()) : "");
    std::set<std::string> rows;
    for (std::string row; std::getline(text, row);) {
        rows.insert(row);
    }
    return rows;
}

// What is wrong in `work` at any moment: a list row not whole or not in the list format,
// or (unless `stopped`: a stopped run cannot tidy up) a temporary file left. A stopped run
// may have cut short the last row of a list its journal says it was writing in place, which
// the next run mends.
std::string listsFault(const fs::path& work, bool stopped) {
    const std::string tree = treeText(work.string());
    if (!stopped) {
        return tree.find(".bunkai-new") != std::string::npos
                   ? "a temporary file left: " + tree
                   : testing_support::listsFault(work.string());
    }
    std::set<std::string> writtenInPlace;
    const std::string journal =
        fs::exists(work / kJournalName) ? readFile((work / kJournalName).string()) : "";
    JournalRecord record;
    for (std::size_t at = 0; readJournalRecord(journal, at, record); at = record.end) {
        if (record.mode == 'W') {
            writtenInPlace.insert(record.texts[0]);
        }
    }
    return testing_support::listsFault(work.string(), writtenInPlace);
}

// The first row of a list in `before` that `work` lost: every row must still be in its list,
// or, when `orInErrorList`, a track's row in the error list (index lists are then not asked).
std::string lostRow(const fs::path& work, const fs::path& before, bool orInErrorList) {
    const std::set<std::string> errors = rowsOf(work / "errlist.csv");
    for (const std::string& path : listTree(before.string())) {
        const bool tracks = path == "errlist.csv" || std::count(path.begin(), path.end(), '/') == 3;
        const std::set<std::string> now = rowsOf(work / path);
        for (const std::string& row :
             fs::path(path).extension() == ".csv" && (tracks || !orInErrorList)
                 ? rowsOf(before / path)
                 : std::set<std::string>()) {
            if (!now.count(row) && !(orInErrorList && errors.count(row))) {
                return path + " lost " + row;
            }
        }
    }
    return "";
}

// Every folder and file below `root` with its bytes, but for temporary files a stopped run
// leaves, the error list (whose rows a stopped run may have added already), and pictures
// unless `pictures`.
std::map<std::string, std::string> filesOf(const fs::path& root, bool pictures) {
    std::map<std::string, std::string> files;
    for (const std::string& path : listTree(root.string())) {
        if (path.find(".bunkai-new") == std::string::npos && path != "errlist.csv" &&
            (pictures || path.find("/img.") == std::string::npos)) {
            files[path] = fs::is_directory(root / path) ? "/" : readFile((root / path).string());
        }
    }
    return files;
}

// The first export fills a tree; the second adds tracks to its albums and new albums, with
// a compilation and a track for the error list, and is the run the faults meet.
struct FaultTest : ::testing::Test {
    ScopedTempFolder temp;
    fs::path root = fs::current_path();
    long long operations = 0;  // of the second run on the first one's tree

    void SetUp() override {
        std::vector<std::vector<Entry>> tracks = {track(1, 1, 1), track(1, 2, 1), track(2, 3, 1)};
        writeFile("first.xml", exportText(tracks));
        for (const auto& [artist, album] : {std::pair{1, 1}, {1, 4}, {2, 5}, {3, 6}, {3, 7}}) {
            tracks.push_back(track(artist, album, 2));
        }
        tracks.push_back({{"Name", stringValue("cloud")}});
        tracks.push_back(track(4, 8, 1));
        tracks.back().push_back({"Compilation", "<true/>"});
        writeFile("second.xml", exportText(tracks));
        for (const char* folder : {"first", "reference"}) {
            fs::create_directory(folder);
            fs::current_path(folder);
            ASSERT_EQ(runProgram({"../first.xml"}).exitStatus, 0);
            fs::current_path(root);
        }
        fs::current_path("reference");
        platform::planFileFault(platform::FileFault::fail, 0);
        ASSERT_EQ(runProgram({"../second.xml"}).exitStatus, 0);
        operations = platform::fileOperationsCounted();
        fs::current_path(root);
    }

    // A fresh copy of the first run's tree, as the working folder.
    void enterCopyOfFirst() {
        fs::current_path(root);
        fs::remove_all("work");
        fs::copy("first", "work", fs::copy_options::recursive);
        fs::current_path("work");
    }
};

// A run stopped before any one of its operations (and every other time the run after it,
// which replays the journal, too) leaves whole lists, and the run after it ends with the
// tree of an uninterrupted run, pictures included.
TEST_F(FaultTest, RunStoppedAtEveryOperationLosesNothing) {
    ASSERT_GT(operations, 50);
    for (long long at = 1; at <= operations; ++at) {
        SCOPED_TRACE("stopped before operation " + std::to_string(at));
        enterCopyOfFirst();
        for (int stop = 0; stop < 1 + at % 2; ++stop) {
            const pid_t child = fork();
            if (child == 0) {
                platform::planFileFault(platform::FileFault::stop, at);
                std::_Exit(runProgram({"../second.xml"}).exitStatus);
            }
            int status = 0;
            waitpid(child, &status, 0);
            // The run after a stopped one may do less, and end before its stop.
            ASSERT_TRUE(WEXITSTATUS(status) == platform::kStoppedByFault ||
                        (stop == 1 && WEXITSTATUS(status) == 0));
            ASSERT_EQ(listsFault(".", true) + lostRow(".", "../first", false), "");
        }
        ASSERT_EQ(runProgram({"../second.xml"}).exitStatus, 0);
        ASSERT_FALSE(fs::exists("bunkai.journal"));
        ASSERT_TRUE(filesOf(".", true) == filesOf("../reference", true));
        ASSERT_EQ(rowsOf("errlist.csv"), rowsOf("../reference/errlist.csv"));
    }
}

// A run whose operation fails as on a full disk keeps every row: in its list, in the error
// list, or, when the run says so, for the next run, which then ends with the lists of an
// undisturbed run. Only a picture may be missing.
TEST_F(FaultTest, RunWithAFailingOperationLosesNoRow) {
    for (long long at = 1; at <= operations; ++at) {
        SCOPED_TRACE("operation " + std::to_string(at) + " failed");
        enterCopyOfFirst();
        platform::planFileFault(platform::FileFault::fail, at);
        const RunResult run = runProgram({"../second.xml"});
        platform::planFileFault(platform::FileFault::fail, 0);
        ASSERT_EQ(listsFault(".", false) + lostRow(".", "../first", false), "");
        ASSERT_TRUE(run.exitStatus == 0 || run.exitStatus == 1);
        ASSERT_EQ(run.output.find(kNotWritten) != std::string::npos, run.exitStatus == 1);
        // A journal left would have its rows merged again by the next run.
        ASSERT_TRUE(run.exitStatus == 1 || !fs::exists("bunkai.journal") ||
                    fs::file_size("bunkai.journal") == 0);
        // Unless the run said it left rows for the next one, a track is in its album's list or
        // in the error list.
        ASSERT_EQ(run.exitStatus == 1 ? "" : lostRow(".", "../reference", true), "");
        ASSERT_EQ(runProgram({"../second.xml"}).exitStatus, 0);
        ASSERT_TRUE(filesOf(".", false) == filesOf("../reference", false));
    }
}

// Links, named pipes and devices planted where the program keeps its own files and folders:
// the run ends as usual, reads and writes nothing outside its working folder, and leaves
// what was planted. A linked folder is a name that cannot be used: its tracks go to the
// error list.
TEST(PlantedFiles, LinksAndPipesInTheOutputTree) {
    const struct {
        std::string place;
        std::string linkTo;  // empty for a named pipe
        int errorRows;       // rows of errlist.csv afterwards; -1 when it is the pipe
        int exitStatus;      // 1 when a list could not be written: the run says so
    } cases[] = {
        {"list.csv", "../outside/file", 1, 1},
        {"list.csv", "/dev/zero", 1, 1},
        {"list.csv.bunkai-new", "../outside/file", 1, 0},
        {"err.csv", "../outside/file", 1, 0},
        {"bunkai.journal", "../outside/none", 3, 1},
        {"bunkai.lock", "../outside/none", 1, 0},
        {"bunkai.journal", "", 3, 1},
        {"errlist.csv", "", -1, 1},
        {"Music/A/B/list.csv", "", 3, 0},
    };
    for (const auto& planted : cases) {
        SCOPED_TRACE(planted.place + " -> " + planted.linkTo);
        ScopedTempFolder folder;
        writeFile((fs::create_directory("outside"), "outside/file"), "1,1,k,secret\r\n");
        fs::create_directories("work/" + fs::path(planted.place).parent_path().string());
        writeFile("work/x.xml",
                  exportText({{{"Name", stringValue("one")},
                               {"Location", locationValue("Media/Music/A/B/1.mp3")}},
                              {{"Name", stringValue("noted")},
                               {"Location", locationValue("Media/Music/A/B/%zz.mp3")}},
                              {{"Name", stringValue("cloud")}}}));
        fs::current_path("work");
        if (planted.linkTo.empty()) {
            ASSERT_EQ(mkfifo(planted.place.c_str(), 0666), 0);
        } else {
            fs::create_symlink(planted.linkTo, planted.place);
        }
        const fs::file_type type = fs::symlink_status(planted.place).type();
        const RunResult run = runProgram({"x.xml"});
        EXPECT_EQ(run.exitStatus, planted.exitStatus);
        EXPECT_EQ(run.output.find(kNotWritten) != std::string::npos, planted.exitStatus == 1);
        EXPECT_EQ(fs::symlink_status(planted.place).type(), type);
        const std::string errors = planted.errorRows < 0 ? "" : readFile("errlist.csv");
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), std::max(planted.errorRows, 0));
        EXPECT_EQ(treeText("../outside"), "file");
        EXPECT_EQ(readFile("../outside/file"), "1,1,k,secret\r\n");
    }
}

}  // namespace
