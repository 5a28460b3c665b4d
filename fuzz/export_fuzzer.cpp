// Whole exports through the program as a user runs it, in an empty working folder. Beyond
// surviving the input, the run must create nothing outside the working folder, leave only
// the files the program is meant to make, and write every list in its row format. A second
// run over the same export must find everything the first one wrote and leave it as it is:
// only the error list and the notes gain a second copy of their rows.
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "driver/program.h"
#include "encoding/shift_jis.h"
#include "fuzz/fuzz_support.h"
#include "output/folder_names.h"
#include "platform/lock.h"

namespace {

using fuzzing::check;

// A music file that the seeds' Locations name ("file://localhost/Media/Music/A/B/01.mp3"
// resolves to it, relative to the working folder), so that cover pictures get copied too;
// and a named pipe in its place, which no one writes to: reading it would never end.
const char kMusicFolder[] = "Media/Music/A/B";
const char kMusicFile[] = "Media/Music/A/B/01.mp3";
const char kPipeFile[] = "Media/Music/A/B/02.mp3";
const std::string kMusicBytes = std::string("ID3\x03\0\0\0\0\0\0APIC\0\0\0\0\0\0", 20) +
                                "\x89PNG\r\n\x1a\n" + std::string("\0\0\0\rIHDR", 8) +
                                "IEND\xAE\x42\x60\x82" + "audio";

const std::vector<std::string> kNoteWords = {"no files", "artist", "album", "name"};

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void checkNotes(const std::string& stored) {
    std::size_t start = 0;
    while (start < stored.size()) {
        std::size_t end = stored.find("\r\n", start);
        check(end != std::string::npos, "err.csv does not end in CR LF");
        std::string word = stored.substr(start, end - start);
        bool known = false;
        for (const std::string& note : kNoteWords) {
            known = known || word == note;
        }
        check(known, "err.csv holds a line that is no note word");
        start = end + 2;
    }
}

// Folders below "Music" hold lists and pictures only; the working folder holds the export,
// the music fixtures, the lists and the notes. The journal and temporary list files are gone
// once the run is over.
std::vector<std::string> filesMade() {
    std::vector<std::string> files = fuzzing::filesBelow();
    files.erase(std::remove_if(files.begin(), files.end(),
                               [](const std::string& file) {
                                   return file == "export.xml" || file == kMusicFile ||
                                          file == kPipeFile;
                               }),
                files.end());
    return files;
}

void checkOutputFiles() {
    for (const std::string& file : filesMade()) {
        std::string stored = fuzzing::readWholeFile(file);
        if (file == "err.csv") {
            checkNotes(stored);
            continue;
        }
        if (file == "errlist.csv") {
            fuzzing::checkListFile(file, stored, fuzzing::RowShape::track);
            continue;
        }
        if (file == platform::kLockName) {
            check(stored.empty(), "the lock file holds bytes");
            continue;
        }
        if (file.compare(0, 6, "Music/") == 0 && endsWith(file, "/img.png")) {
            check(stored.compare(0, 4, "\x89PNG") == 0, "img.png holds no PNG");
            continue;
        }
        if (file.compare(0, 6, "Music/") == 0 && endsWith(file, "/img.jpg")) {
            check(stored.compare(0, 4, "\xFF\xD8\xFF\xE0") == 0, "img.jpg holds no JPEG");
            continue;
        }
        if (file == "list.csv" ||
            (file.compare(0, 6, "Music/") == 0 && endsWith(file, "/list.csv"))) {
            // "list.csv" and "Music/<artist>/list.csv" list folders; one level deeper they
            // list tracks. An album folder of an empty artist name lies directly in "Music",
            // and its index row then goes to "Music/list.csv".
            std::size_t levels = 0;
            for (char c : file) {
                levels += c == '/';
            }
            fuzzing::checkListFile(
                file, stored, levels >= 3 ? fuzzing::RowShape::track : fuzzing::RowShape::index);
            continue;
        }
        std::fprintf(stderr, "unexpected file: %s\n", file.c_str());
        check(false, "the run left a file the program does not make");
    }
}

std::string foldedAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The folder names that the rows of the index list at `listPath` stand for, letters folded
// (the key order ignores their case, so on POSIX systems "a" and "A" share one row).
std::set<std::string> indexedFolders(const std::string& listPath) {
    std::set<std::string> names;
    if (!fuzzing::pathExists(listPath)) {
        return names;
    }
    const std::string stored = fuzzing::readWholeFile(listPath);
    std::size_t start = 0;
    while (start < stored.size()) {
        const std::size_t end = stored.find("\r\n", start);
        const std::string row = stored.substr(start, end - start);
        const std::size_t keyStart = row.find(',', row.find(',') + 1) + 1;
        const std::string key = row.substr(keyStart, std::stoul(row));
        names.insert(foldedAscii(windowsFolderName(utf8ToShiftJis(key))));
        start = end + 2;
    }
    return names;
}

// Every folder the run made has its row in the index list one level up: a later run adds
// rows only for folders it makes itself, so a folder without its row stays unlisted. An
// index list that is itself a folder (an album named "list.csv") cannot hold rows.
void checkFoldersIndexed(const std::string& folder, const std::string& listPath, int depth) {
    if (std::filesystem::is_directory(listPath)) {
        return;
    }
    const std::set<std::string> names = indexedFolders(listPath);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_directory()) {
            continue;
        }
        const std::string name = entry.path().filename().string();
        if (names.count(foldedAscii(name)) == 0) {
            std::fprintf(stderr, "no row in %s for the folder %s\n", listPath.c_str(),
                         entry.path().string().c_str());
            check(false, "a folder was made without its index row");
        }
        if (depth == 1) {
            checkFoldersIndexed(folder + "/" + name, folder + "/" + name + "/list.csv", 2);
        }
    }
}

using Snapshot = std::map<std::string, std::string>;

Snapshot takeSnapshot() {
    Snapshot files;
    for (const std::string& file : filesMade()) {
        files[file] = fuzzing::readWholeFile(file);
    }
    return files;
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        check(end != std::string::npos, "a text file does not end in CR LF");
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

void checkSecondRun(const Snapshot& first, const Snapshot& second) {
    for (const auto& [file, bytes] : first) {
        check(second.count(file) == 1, "the second run removed a file");
    }
    for (const auto& [file, bytes] : second) {
        auto before = first.find(file);
        check(before != first.end(), "the second run made a file the first did not");
        if (file == "err.csv") {
            check(bytes == before->second + before->second,
                  "the second run did not add one copy of the notes");
        } else if (file == "errlist.csv") {
            std::vector<std::string> twice = sortedLines(before->second + before->second);
            check(sortedLines(bytes) == twice,
                  "the second run did not keep the error list and add one copy of its rows");
        } else if (bytes != before->second) {
            std::fprintf(stderr, "changed by the second run: %s\n", file.c_str());
            check(false, "the second run changed a file");
        }
    }
}

void runOnce(const char* which) {
    fuzzing::setContext(which);
    char program[] = "bunkai";
    char exportPath[] = "export.xml";
    char* argv[] = {program, exportPath, nullptr};
    check(runProgram(2, argv) == 0, "the run did not end normally");
    fuzzing::checkNothingOutside();
    check(fuzzing::pathExists("Music"), "the run did not create \"Music\"");
    check(fuzzing::readWholeFile(kMusicFile) == kMusicBytes, "the music file was changed");
    checkOutputFiles();
    checkFoldersIndexed("Music", "list.csv", 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The program prints a dot per track; the console is not what is tested here.
    static std::FILE* const quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    fuzzing::startInScratchFolder();
    std::filesystem::create_directories(kMusicFolder);
    fuzzing::writeWholeFile(kMusicFile, kMusicBytes);
    check(mkfifo(kPipeFile, 0600) == 0, "cannot make the named pipe");
    fuzzing::writeWholeFile("export.xml", fuzzing::bytesOf(data, size));

    runOnce("first run");
    const Snapshot first = takeSnapshot();
    runOnce("second run");
    checkSecondRun(first, takeSnapshot());
    return 0;
}
