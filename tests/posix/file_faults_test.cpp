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
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/export_builder.h"
#include "tests/list_format.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

const std::string kNotWritten = "書き込めなかった一覧があります。もう一度実行してください\n";

// Album `album` of `artist` with a music file whose picture is a PNG, a JPEG or none.
std::vector<Entry> track(int artist, int album, int number) {
    const std::string folder = "A" + std::to_string(artist) + "/B" + std::to_string(album);
    const std::string file = "Media/Music/" + folder + "/" + std::to_string(number) + ".mp3";
    if (!fs::exists(file)) {
        const std::string mark = folder + std::string(3000, 'p');
        const std::string pictures[] = {
            "\x89PNG" + mark + "IEND1234",
            std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11) + mark + "\xFF\xD9", mark};
        fs::create_directories(fs::path(file).parent_path());
        writeFile(file, std::string(5000, 's') + pictures[album % 3]);
    }
    return {{"Name", stringValue("T" + std::to_string(number))},
            {"Artist", stringValue("Artist " + std::to_string(artist))},
            {"Album", stringValue("Album " + std::to_string(album))},
            {"Location", locationValue(file)}};
}

// The first export fills a tree; the second adds tracks to its albums and new albums, with
// a compilation and a track for the error list, and is the run the faults meet.
void writeExports() {
    std::vector<std::vector<Entry>> first = {track(1, 1, 1), track(1, 2, 1), track(2, 3, 1)};
    writeFile("first.xml", exportText(first));
    std::vector<std::vector<Entry>> second = first;
    for (const auto& [artist, album] : {std::pair{1, 1}, {1, 4}, {2, 5}, {3, 6}, {3, 7}}) {
        second.push_back(track(artist, album, 2));
    }
    second.push_back({{"Name", stringValue("cloud")}});
    second.push_back(track(4, 8, 1));
    second.back().push_back({"Compilation", "<true/>"});
    writeFile("second.xml", exportText(second));
}

// Every list in `work` with its rows.
std::vector<std::pair<std::string, std::set<std::string>>> listsOf(const fs::path& work) {
    std::vector<std::pair<std::string, std::set<std::string>>> lists;
    for (const std::string& path : listTree(work.string())) {
        if (path.size() >= 3 && path.compare(path.size() - 3, 3, "csv") == 0) {
            std::istringstream text(readFile((work / path).string()));
            std::set<std::string> rows;
            for (std::string row; std::getline(text, row);) {
                rows.insert(row);
            }
            lists.emplace_back(path, rows);
        }
    }
    return lists;
}

// What is wrong with the lists in `work` at any moment: a row that is not whole or not in
// the list format, a row of `before` (the lists then) missing, and unless `stopped` (a
// stopped run cannot tidy up) a temporary file left.
std::string faultsOf(const fs::path& work, const fs::path& before, bool stopped = false) {
    for (const std::string& path : listTree(work.string())) {
        const std::string name = fs::path(path).filename().string();
        if (!stopped && path.find(".bunkai-new") != std::string::npos) {
            return "left " + path;
        }
        if (name == "list.csv" || name == "errlist.csv") {
            const bool tracks =
                name == "errlist.csv" || std::count(path.begin(), path.end(), '/') == 3;
            const std::string fault = listFormatFault(readFile((work / path).string()), tracks);
            if (!fault.empty()) {
                return path + ": " + fault;
            }
        }
    }
    for (const auto& [path, rows] : listsOf(before)) {
        for (const std::string& row : rows) {
            if (!fs::exists(work / path) ||
                readFile((work / path).string()).find(row) == std::string::npos) {
                return path + " lost " + row;
            }
        }
    }
    return "";
}

// What tells `work` apart from `reference` after a full run: every folder, list and picture
// the same, the error list holding the same rows, perhaps more than once.
std::string differenceFrom(const fs::path& reference, const fs::path& work) {
    std::vector<std::string> tree = listTree(work.string());
    tree.erase(std::remove_if(tree.begin(), tree.end(),
                              [](const std::string& path) {
                                  return path.find(".bunkai-new") != std::string::npos;
                              }),
               tree.end());
    if (tree != listTree(reference.string())) {
        return "the trees differ";
    }
    for (const std::string& path : listTree(reference.string())) {
        if (fs::is_regular_file(reference / path) && path != "errlist.csv" &&
            readFile((work / path).string()) != readFile((reference / path).string())) {
            return path + " differs";
        }
    }
    return listsOf(work) == listsOf(reference) ? "" : "the error lists differ";
}

struct FaultTest : ::testing::Test {
    ScopedTempFolder temp;
    fs::path root = fs::current_path();
    long long operations = 0;  // of the second run on the first one's tree

    void SetUp() override {
        writeExports();
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

    // The second run, stopped before its operation `at`, in a child process.
    int stoppedRun(long long at) {
        const pid_t child = fork();
        if (child == 0) {
            platform::planFileFault(platform::FileFault::stop, at);
            std::freopen("/dev/null", "w", stdout);
            std::_Exit(runProgram({"../second.xml"}).exitStatus);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
            // The run after a stopped one may do less, and end before its stop.
            const int status = stoppedRun(at);
            ASSERT_TRUE(status == platform::kStoppedByFault || (stop == 1 && status == 0));
            ASSERT_EQ(faultsOf(".", "../first", true), "");
        }
        ASSERT_EQ(runProgram({"../second.xml"}).exitStatus, 0);
        ASSERT_FALSE(fs::exists("bunkai.journal"));
        ASSERT_EQ(differenceFrom("../reference", "."), "");
    }
}

// A run whose operation fails as on a full disk keeps every row it had: in its list, in
// the error list, or (when the run says so) for the next run, which then ends with the
// lists of an undisturbed run. Only a picture may be missing.
TEST_F(FaultTest, RunWithAFailingOperationLosesNoRow) {
    for (long long at = 1; at <= operations; ++at) {
        SCOPED_TRACE("operation " + std::to_string(at) + " failed");
        enterCopyOfFirst();
        platform::planFileFault(platform::FileFault::fail, at);
        const RunResult run = runProgram({"../second.xml"});
        platform::planFileFault(platform::FileFault::fail, 0);
        ASSERT_EQ(faultsOf(".", "../first"), "");
        ASSERT_TRUE(run.exitStatus == 0 || run.exitStatus == 1) << run.exitStatus;
        ASSERT_EQ(run.output.size() >= kNotWritten.size() &&
                      run.output.compare(run.output.size() - kNotWritten.size(), kNotWritten.size(),
                                         kNotWritten) == 0,
                  run.exitStatus == 1);
        if (run.exitStatus == 0) {
            ASSERT_TRUE(!fs::exists("bunkai.journal") || fs::file_size("bunkai.journal") == 0);
            const std::string errors = fs::exists("errlist.csv") ? readFile("errlist.csv") : "";
            for (const auto& [path, rows] : listsOf("../reference")) {
                const bool tracks = std::count(path.begin(), path.end(), '/') == 3;
                const std::string list = tracks && fs::exists(path) ? readFile(path) : "";
                for (const std::string& row : rows) {
                    ASSERT_TRUE(!tracks || list.find(row) != std::string::npos ||
                                errors.find(row) != std::string::npos)
                        << path << " lost " << row;
                }
            }
        }
        ASSERT_EQ(runProgram({"../second.xml"}).exitStatus, 0);
        std::vector<std::string> tree = listTree(".");
        std::vector<std::string> lists;
        for (const std::string& path : tree) {
            const bool picture = path.find("/img.") != std::string::npos;
            ASSERT_TRUE(!fs::is_regular_file(path) || path == "errlist.csv" ||
                        readFile(path) == readFile("../reference/" + path))
                << path;
            if (!picture) {
                lists.push_back(path);
            }
        }
        for (const std::string& path : listTree("../reference")) {
            ASSERT_TRUE(path.find("/img.") != std::string::npos ||
                        std::find(lists.begin(), lists.end(), path) != lists.end())
                << "no " << path;
        }
    }
}

// Links, named pipes and devices planted where the program keeps its own files (folders:
// Organiser.LinkedFoldersLeadNowhere): the run ends as usual, reads and writes nothing
// outside its working folder, and leaves what was planted.
TEST(PlantedFiles, LinksAndPipesInTheOutputTree) {
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
        {"err.csv", "../outside/file", 1, 0},
        {"bunkai.journal", "../outside/none", 3, 1},
        {"bunkai.lock", "../outside/none", 1, 0},
        {"bunkai.journal", "", 3, 1},
        {"list.csv", "", 1, 1},
        {"errlist.csv", "", -1, 1},
        {"Music/A/B/list.csv", "", 3, 0},
    };
    for (const Planted& planted : cases) {
        SCOPED_TRACE(planted.place + " -> " + planted.linkTo);
        ScopedTempFolder folder;
        fs::create_directory("outside");
        writeFile("outside/file", "1,1,k,secret\r\n");
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
        if (planted.errorRows >= 0) {
            const std::string errors = readFile("errlist.csv");
            EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), planted.errorRows);
        }
        EXPECT_EQ(listTree("../outside"), std::vector<std::string>{"file"});
        EXPECT_EQ(readFile("../outside/file"), "1,1,k,secret\r\n");
    }
}

}  // namespace
