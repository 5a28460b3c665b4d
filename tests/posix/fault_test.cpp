// Runs under faults and on hostile input: the run goes on, prints only what it always
// prints, loses no row already on disk, and writes nothing outside its working folder.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/export_builder.h"
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

    std::mt19937 random(99);
    for (int round = 0; round < 20; ++round) {
        std::string garbage;
        for (int i = 0; i < 20000; ++i) {
            garbage += static_cast<char>(random());
        }
        // Garbage around the lines the reader looks for, so it gets past the header.
        garbage = "<dict>\n<dict>\n<dict>\n" + garbage + "\n<key>Location</key><string>" +
                  "file://localhost/Media/Music/" + garbage.substr(0, 300) + "</string>\n";
        writeFile("garbage.xml", garbage);
        EXPECT_EQ(runProgram({"garbage.xml"}).exitStatus, 0);
    }
    for (const auto& entry : fs::directory_iterator(".")) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "Music" || name == "list.csv" || name == "errlist.csv" ||
                    name == "err.csv" || name == "bunkai.lock" ||
                    name.find(".xml") != std::string::npos)
            << name;
    }
}

TEST(Faults, LinesOfSeveralMegabytes) {
    ScopedTempFolder folder;
    std::string longName(5 << 20, 'n');
    writeFile("x.xml", exportText({track("Media/Music/A/B/1.mp3", longName),
                                   track("Media/Music/A/B/2.mp3", "short")}));
    RunResult run = runProgram({"x.xml"});
    EXPECT_EQ(run.output, completeOutput(2));
    std::string list = readFile("Music/A/B/list.csv");
    EXPECT_EQ(list.substr(0, 20), "5,5242880,1.mp3,nnnn");
    EXPECT_NE(list.find("\r\n5,5,2.mp3,short,"), std::string::npos);
}

TEST(Faults, OneHundredThousandTracksInOneAlbum) {
    ScopedTempFolder folder;
    std::vector<std::vector<Entry>> tracks;
    for (int i = 99999; i >= 0; --i) {
        tracks.push_back(track("Media/Music/A/B/" + std::to_string(i) + ".mp3", "t"));
    }
    writeFile("x.xml", exportText(tracks));
    ASSERT_EQ(runProgram({"x.xml"}).exitStatus, 0);
    std::string list = readFile("Music/A/B/list.csv");
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 100000);
    EXPECT_EQ(list.substr(0, 16), "5,1,0.mp3,t,,,,,");
    EXPECT_NE(list.find("\r\n5,1,1.mp3,t,"), std::string::npos);
    EXPECT_EQ(list.find("\r\n5,1,1.mp3,t,"), list.find("\r\n"));  // "1" right after "0"
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

// A small file system of its own, mounted for the test; needs root.
class MountedFolder {
  public:
    explicit MountedFolder(const std::string& size) {
        fs::create_directory("mnt");
        path_ = fs::absolute("mnt").string();
        mounted_ = mount("tmpfs", path_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
    }
    ~MountedFolder() {
        if (mounted_) {
            umount2(path_.c_str(), MNT_DETACH);
        }
    }
    bool mounted() const { return mounted_; }
    bool remountReadOnly() {
        return mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    bool resize(const std::string& size) {
        return mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT, ("size=" + size).c_str()) == 0;
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    bool mounted_ = false;
};

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

std::vector<std::string> listsOf(const std::string& folder) {
    std::vector<std::string> contents;
    for (const char* list : {"list.csv", "Music/A/list.csv", "Music/A/B/list.csv"}) {
        contents.push_back(readFile(folder + "/" + list));
    }
    return contents;
}

// A working folder on a small file system of its own, holding the output of a first run;
// the test then breaks the file system and runs the program over a larger export.
class SmallDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "mounting a file system needs root";
        }
        folder_ = std::make_unique<ScopedTempFolder>();
        disk_ = std::make_unique<MountedFolder>("256k");
        if (!disk_->mounted()) {
            GTEST_SKIP() << "tmpfs cannot be mounted here";
        }
        writeFile("first.xml", exportText(firstExport()));
        writeFile("second.xml", exportText(secondExport()));
        ASSERT_EQ(chdir(disk_->path().c_str()), 0);
        ASSERT_EQ(runProgram({"../first.xml"}).exitStatus, 0);
        before_ = listsOf(".");
    }

    void TearDown() override {
        if (folder_) {
            EXPECT_EQ(chdir(folder_->path().c_str()), 0);
        }
        disk_.reset();
        folder_.reset();
    }

    // The second run goes on to the end, and says that lists are left to write.
    void runSecondExport() {
        RunResult run = runProgram({"../second.xml"});
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.output, completeOutput(secondExport().size()) + kListsNotWritten);
    }

    std::unique_ptr<ScopedTempFolder> folder_;
    std::unique_ptr<MountedFolder> disk_;
    std::vector<std::string> before_;
};

TEST_F(SmallDisk, FullDisk) {
    std::FILE* filler = std::fopen("filler", "wb");
    ASSERT_NE(filler, nullptr);
    std::string block(4096, 'f');
    while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
           std::fflush(filler) == 0) {
    }
    std::fclose(filler);

    runSecondExport();
    std::vector<std::string> after = listsOf(".");
    for (std::size_t i = 0; i < before_.size(); ++i) {
        // Either the old list whole, or a new one that still holds every old row.
        for (std::size_t at = 0, end; (end = before_[i].find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            EXPECT_NE(after[i].find(before_[i].substr(at, end + 2 - at)), std::string::npos) << i;
        }
        EXPECT_TRUE(after[i].empty() || after[i].substr(after[i].size() - 2) == "\r\n");
    }
    // A list that could not be written leaves no partial temporary file behind.
    for (const std::string& path : listTree(".")) {
        EXPECT_EQ(path.find(".bunkai-new"), std::string::npos) << path;
    }

    // With space again, a rerun ends with every row of both runs: the lists of the same runs
    // on a roomy disk, and their error list rows at least once.
    ASSERT_EQ(std::remove("filler"), 0);
    ASSERT_TRUE(disk_->resize("16m"));
    EXPECT_EQ(runProgram({"../second.xml"}).exitStatus, 0);
    std::string roomy = folder_->path() + "/roomy";
    makeFolders(roomy);
    ASSERT_EQ(chdir(roomy.c_str()), 0);
    runProgram({"../first.xml"});
    runProgram({"../second.xml"});
    for (const std::string& path : listTree(".")) {
        std::string name = fs::path(path).filename().string();
        if (name == "list.csv") {
            EXPECT_EQ(readFile(disk_->path() + "/" + path), readFile(path)) << path;
        } else if (name == "errlist.csv") {
            std::string rows = readFile(disk_->path() + "/" + path);
            std::string wanted = readFile(path);
            for (std::size_t at = 0, end; (end = wanted.find("\r\n", at)) != std::string::npos;
                 at = end + 2) {
                EXPECT_NE(rows.find(wanted.substr(at, end + 2 - at)), std::string::npos);
            }
        }
    }
    EXPECT_EQ(listTree(disk_->path()), listTree("."));
}

TEST_F(SmallDisk, ReadOnly) {
    std::vector<std::string> tree = listTree(".");
    ASSERT_TRUE(disk_->remountReadOnly());
    runSecondExport();
    EXPECT_EQ(listsOf("."), before_);
    EXPECT_EQ(listTree("."), tree);
}

}  // namespace
