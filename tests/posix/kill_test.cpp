// A run stopped at any moment (SIGKILL: no chance to tidy up) must leave every list on disk
// complete and well formed, and a full run after it must end with the lists an
// uninterrupted run gives.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/export_builder.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

std::string exportOfManyAlbums() {
    std::vector<std::vector<Entry>> tracks;
    for (int i = 0; i < 3000; ++i) {
        int album = i / 8;
        int artist = album / 4;
        std::string file = "t" + std::to_string(i % 8) + ".mp3";
        std::vector<Entry> track = {{"Name", stringValue("Track " + std::to_string(i))},
                                    {"Artist", stringValue("Artist " + std::to_string(artist))},
                                    {"Album", stringValue("Album " + std::to_string(album))}};
        if (i % 10 == 3) {
            // No file in the media folder: the error list.
        } else if (album % 9 == 5) {
            track.push_back({"Compilation", "<true/>"});
            track.push_back({"Location", locationValue("Media/Music/V/C" + std::to_string(album) +
                                                       "/" + file)});
        } else {
            track.push_back({"Location", locationValue("Media/Music/A" + std::to_string(artist) +
                                                       "/B" + std::to_string(album) + "/" + file)});
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

bool isList(const fs::path& path) {
    return path.filename() == "list.csv" || path.filename() == "errlist.csv";
}

// Every row whole: ended by CR LF, not blank, with its column count, and its first column
// giving the length of its key (no value here holds a comma).
void expectWellFormed(const fs::path& root, const fs::path& list) {
    std::string bytes = readFile(list.string());
    ASSERT_TRUE(bytes.empty() || bytes.size() >= 2) << list;
    if (!bytes.empty()) {
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n") << list;
    }
    // Track lists lie in album folders (Music/<artist>/<album>), index lists above them.
    fs::path relative = fs::relative(list, root);
    std::size_t depth = std::distance(relative.begin(), relative.end());
    std::size_t columns = depth == 4 || list.filename() == "errlist.csv" ? 16 : 4;
    std::istringstream lines(bytes);
    std::string line;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty()) << list;
        ASSERT_EQ(line.back(), '\r') << list;
        line.pop_back();
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, ',')) {
            fields.push_back(field);
        }
        if (line.back() == ',') {
            fields.emplace_back();
        }
        ASSERT_EQ(fields.size(), columns) << list << ": " << line;
        EXPECT_EQ(fields[0], std::to_string(fields[2].size())) << list << ": " << line;
    }
}

std::vector<std::string> treeWithoutScratch(const fs::path& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name != "errlist.csv" && name.find(".bunkai-new") == std::string::npos) {
            paths.push_back(fs::relative(entry.path(), folder).string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::multiset<std::string> rowsOf(const fs::path& list) {
    std::istringstream lines(readFile(list.string()));
    std::multiset<std::string> rows;
    for (std::string line; std::getline(lines, line);) {
        rows.insert(line);
    }
    return rows;
}

TEST(KillTest, InterruptedRunsLoseNothing) {
    ScopedTempFolder temp;
    fs::path root = fs::current_path();
    fs::path exportPath = root / "export.xml";
    writeFile(exportPath.string(), exportOfManyAlbums());
    fs::create_directory(root / "reference");
    fs::create_directory(root / "work");

    auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(finish(start(root / "reference", exportPath)), 0);
    auto fullRun = std::chrono::steady_clock::now() - began;

    std::mt19937 random(12345);
    int interrupted = 0;  // kills that left a journal: the run was stopped mid-way
    for (int round = 0; round < 20; ++round) {
        std::uniform_int_distribution<long long> when(
            0, std::chrono::duration_cast<std::chrono::microseconds>(fullRun).count() * 6 / 5);
        pid_t child = start(root / "work", exportPath);
        std::this_thread::sleep_for(std::chrono::microseconds(when(random)));
        kill(child, SIGKILL);
        finish(child);
        interrupted += fs::exists(root / "work/bunkai.journal");
        for (const auto& entry : fs::recursive_directory_iterator(root / "work")) {
            if (isList(entry.path())) {
                expectWellFormed(root / "work", entry.path());
            }
        }
        if (HasFatalFailure()) {
            return;
        }
    }
    EXPECT_GT(interrupted, 0);

    ASSERT_EQ(finish(start(root / "work", exportPath)), 0);
    EXPECT_FALSE(fs::exists(root / "work/bunkai.journal"));
    std::vector<std::string> tree = treeWithoutScratch(root / "reference");
    ASSERT_EQ(treeWithoutScratch(root / "work"), tree);
    for (const std::string& path : tree) {
        if (isList(path)) {
            EXPECT_EQ(readFile((root / "work" / path).string()),
                      readFile((root / "reference" / path).string()))
                << path;
        }
    }
    // The error list holds every row of a full run, and nothing else, perhaps more than once.
    std::multiset<std::string> reference = rowsOf(root / "reference/errlist.csv");
    std::multiset<std::string> after = rowsOf(root / "work/errlist.csv");
    for (const std::string& row : std::set<std::string>(reference.begin(), reference.end())) {
        EXPECT_GE(after.count(row), reference.count(row)) << row;
    }
    for (const std::string& row : after) {
        EXPECT_TRUE(reference.count(row)) << row;
    }
}

}  // namespace
