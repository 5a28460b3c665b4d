// A run stopped at any moment (SIGKILL: no chance to tidy up) must leave every list on disk
// complete and well formed, and a full run after it must end with the lists and pictures an
// uninterrupted run gives.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/export_builder.h"
#include "tests/list_format.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

const int kAlbums = 60;

// Rounds of stopped runs: 30 in the regular test run, which finds a lost picture in about
// every other round; BUNKAI_KILL_ROUNDS asks for more.
int rounds() {
    const char* asked = std::getenv("BUNKAI_KILL_ROUNDS");
    return asked ? std::atoi(asked) : 30;
}

// Albums of two tracks, each album's first music file holding a picture of its own (a PNG,
// a JFIF JPEG, or none) behind a long stretch of sound, so that a good part of a run goes
// into finding and writing pictures; with compilations and error-list tracks among them. The
// music files lie below `media`, named by absolute file URLs.
std::string exportOfManyAlbums(const fs::path& media) {
    std::vector<std::vector<Entry>> tracks;
    for (int i = 0; i < 2 * kAlbums; ++i) {
        int album = i / 2;
        int artist = album / 4;
        bool compilation = album % 9 == 5;
        std::string folders = compilation
                                  ? "V/C" + std::to_string(album)
                                  : "A" + std::to_string(artist) + "/B" + std::to_string(album);
        fs::path file = media / folders / ("t" + std::to_string(i % 2) + ".mp3");
        std::vector<Entry> track = {{"Name", stringValue("Track " + std::to_string(i))},
                                    {"Artist", stringValue("Artist " + std::to_string(artist))},
                                    {"Album", stringValue("Album " + std::to_string(album))}};
        if (compilation) {
            track.push_back({"Compilation", "<true/>"});
        }
        if (i % 10 != 3) {  // else no file in the media folder: the error list
            track.push_back({"Location", locationValue(file.relative_path().string())});
        }
        if (i % 2 == 0) {
            std::string mark = std::to_string(album) + std::string(100000, 'p');
            std::string jfif("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11);
            std::string picture = album % 3 == 0   ? "\x89PNG" + mark + "IEND1234"
                                  : album % 3 == 1 ? jfif + mark + "\xFF\xD9"
                                                   : mark;
            fs::create_directories(file.parent_path());
            writeFile(file.string(), std::string(200000, 's') + picture + std::string(16, 's'));
        }
        tracks.push_back(track);
    }
    return exportText(tracks);
}

pid_t start(const fs::path& folder, const fs::path& exportPath) {
    pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0 || !freopen("/dev/null", "w", stdout) ||
            !freopen("/dev/null", "r", stdin)) {
            _exit(126);
        }
        execl(BUNKAI_EXE, BUNKAI_EXE, exportPath.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

int finish(pid_t child) {
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every row whole and in the list format: track rows in album folders
// (Music/<artist>/<album>) and in the error list, index rows above them.
void expectWellFormedLists(const fs::path& work) {
    for (const std::string& path : listTree(work.string())) {
        const std::string name = fs::path(path).filename().string();
        if (name == "list.csv" || name == "errlist.csv") {
            const bool trackRows =
                std::count(path.begin(), path.end(), '/') == 3 || name == "errlist.csv";
            EXPECT_EQ(listFormatFault(readFile((work / path).string()), trackRows), "") << path;
        }
    }
}

// The tree without the temporary files a stopped run may leave for the next to replace.
std::vector<std::string> treeOf(const fs::path& folder) {
    std::vector<std::string> paths = listTree(folder.string());
    paths.erase(std::remove_if(paths.begin(), paths.end(),
                               [](const std::string& path) {
                                   return path.find(".bunkai-new") != std::string::npos;
                               }),
                paths.end());
    return paths;
}

std::set<std::string> rowsOf(const fs::path& list) {
    std::istringstream lines(readFile(list.string()));
    std::set<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.insert(line);
    }
    return rows;
}

// What tells the output in `work` apart from the uninterrupted run's in `reference`; empty
// when nothing does. Every folder, list and picture is the same; the error list holds the
// rows of a full run, and nothing else, perhaps more than once.
std::string differenceFrom(const fs::path& reference, const fs::path& work) {
    std::vector<std::string> tree = treeOf(reference);
    if (treeOf(work) != tree) {
        return "the trees differ";
    }
    for (const std::string& path : tree) {
        if (fs::is_regular_file(reference / path) && path != "errlist.csv" &&
            readFile((work / path).string()) != readFile((reference / path).string())) {
            return path + " differs";
        }
    }
    return rowsOf(work / "errlist.csv") == rowsOf(reference / "errlist.csv")
               ? ""
               : "the error lists differ";
}

// Each round stops a run at a random moment, every other round the run after it too (which
// replays the journal), and lets a last run finish: the output must be the uninterrupted
// run's, pictures included, and every list on disk well formed at every stop.
TEST(KillTest, InterruptedRunsLoseNothing) {
    ScopedTempFolder temp;
    fs::path root = fs::current_path();
    fs::path exportPath = root / "export.xml";
    writeFile(exportPath.string(), exportOfManyAlbums(root / "Media/Music"));
    fs::create_directory(root / "reference");

    auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(finish(start(root / "reference", exportPath)), 0);
    long long window = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - began)
                           .count();

    std::mt19937 random(12345);
    int interrupted = 0;  // stops that left a journal: the run was stopped mid-way
    int differing = 0;
    const int kRounds = rounds();
    for (int round = 0; round < kRounds; ++round) {
        fs::path work = root / "work";
        fs::remove_all(work);
        fs::create_directory(work);
        for (int stop = 0; stop < 1 + round % 2; ++stop) {
            pid_t child = start(work, exportPath);
            std::this_thread::sleep_for(std::chrono::microseconds(
                std::uniform_int_distribution<long long>(0, window)(random)));
            kill(child, SIGKILL);
            // A run that ended before the stop came says the runs are quicker now than the
            // timed one (a loaded machine, a warmer cache): stop the next ones sooner.
            if (finish(child) == 0) {
                window = window * 3 / 4 + 1;
            }
            interrupted += fs::exists(work / "bunkai.journal");
            expectWellFormedLists(work);
            if (HasFailure()) {
                return;
            }
        }
        ASSERT_EQ(finish(start(work, exportPath)), 0);
        EXPECT_FALSE(fs::exists(work / "bunkai.journal"));
        std::string difference = differenceFrom(root / "reference", work);
        differing += !difference.empty();
        EXPECT_EQ(difference, "") << "round " << round;
    }
    EXPECT_GT(interrupted, kRounds / 2);
    EXPECT_EQ(differing, 0) << "of " << kRounds;
}

}  // namespace
