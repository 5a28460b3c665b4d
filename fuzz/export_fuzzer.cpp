// Whole exports through the program as a user runs it, in an empty working folder: the run
// must create nothing outside the working folder, make only the program's own files, give
// every folder it makes its row in the index list one level up (a later run adds rows only
// for folders it makes itself), and write every list row as its lengths announce. A second
// run over the same export changes nothing but the error list and the notes, which gain a
// second copy of their rows. The input's bytes, taken as a name, also go through the code
// page 932 conversion and the composition to NFC that folder names go through.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "driver/program.h"
#include "encoding/shift_jis.h"
#include "fuzz/fuzz_support.h"
#include "output/folder_names.h"
#include "output/list_merge.h"
#include "platform/lock.h"
#include "platform/text_file.h"
#include "platform/unicode.h"

namespace {

using fuzzing::check;
namespace fs = std::filesystem;

// A music file with a cover that the seeds' Locations name ("file://localhost/Media/Music/
// A/B/01.mp3" resolves to it, relative to the working folder), and a named pipe beside it,
// which no one writes to: reading it would never end.
const char kMusicFile[] = "Media/Music/A/B/01.mp3";
const char kPipeFile[] = "Media/Music/A/B/02.mp3";
const std::string kMusicBytes = std::string("ID3\x03\0\0\0\0\0\0APIC\0\0\0\0\0\0", 20) +
                                "\x89PNG\r\n\x1a\n" + std::string("\0\0\0\rIHDR", 8) +
                                "IEND\xAE\x42\x60\x82" + "audio";

bool isList(const std::string& file) {
    return file == "list.csv" || file == "errlist.csv" ||
           (file.rfind("Music/", 0) == 0 && file.size() > 9 &&
            file.compare(file.size() - 9, 9, "/list.csv") == 0);
}

// The rows of a list, each checked to be "N,M,", N bytes of key (as the program reads it
// back), ",", M bytes of shown text and then the line's end (folder rows) or "," (tracks).
std::vector<std::string> checkedRows(const std::string& file) {
    const std::string stored = fuzzing::readWholeFile(file);
    check(stored.size() >= 2 && stored.compare(stored.size() - 2, 2, "\r\n") == 0,
          "a list does not end in CR LF");
    const std::vector<std::string> rows =
        listRows(platform::fromStoredText(stored.data(), stored.size()));
    const bool tracks = file == "errlist.csv" || std::count(file.begin(), file.end(), '/') >= 3;
    for (const std::string& row : rows) {
        const std::string key = rowKey(row);
        std::size_t shownLength = 0;
        int at = 0;
        check(std::sscanf(row.c_str(), "%*u,%zu,%n", &shownLength, &at) == 1 && at > 0 &&
                  std::atoi(row.c_str()) == static_cast<int>(key.size()),
              "a list row does not start with its two lengths");
        const std::size_t keyEnd = static_cast<std::size_t>(at) + key.size();
        const std::size_t end = keyEnd + 1 + shownLength;
        check(row.size() > keyEnd && row[keyEnd] == ',' &&
                  (tracks ? row.size() > end && row[end] == ',' : row.size() == end),
              "a list row does not hold what its lengths announce");
    }
    return rows;
}

// Letters folded, since the key order ignores their case: on POSIX "a" and "A" share a row.
std::string folded(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
    return text;
}

// An index list that is itself a folder (an album named "list.csv") holds no rows.
void checkFoldersIndexed(const std::string& folder, const std::string& list, int depth) {
    if (fs::is_directory(list)) {
        return;
    }
    std::set<std::string> names;
    if (fs::exists(list)) {
        for (const std::string& row : checkedRows(list)) {
            names.insert(folded(windowsFolderName(utf8ToShiftJis(rowKey(row)))));
        }
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory()) {
            check(names.count(folded(name)) == 1, "a folder was made without its index row");
            if (depth == 1) {
                checkFoldersIndexed(folder + "/" + name, folder + "/" + name + "/list.csv", 2);
            }
        }
    }
}

// The files the run made, with their bytes: lists, pictures, the notes and the lock.
std::map<std::string, std::string> runOnce() {
    char program[] = "bunkai";
    char exportPath[] = "export.xml";
    char* argv[] = {program, exportPath, nullptr};
    check(runProgram(2, argv) == 0, "the run did not end normally");
    fuzzing::checkNothingOutside();
    check(fuzzing::readWholeFile(kMusicFile) == kMusicBytes, "the music file was changed");
    checkFoldersIndexed("Music", "list.csv", 1);
    std::map<std::string, std::string> made;
    for (const std::string& file : fuzzing::filesBelow()) {
        if (file == "export.xml" || file == kMusicFile || file == kPipeFile) {
            continue;
        }
        const bool picture =
            file.rfind("Music/", 0) == 0 &&
            (file.size() > 8 && (file.compare(file.size() - 8, 8, "/img.png") == 0 ||
                                 file.compare(file.size() - 8, 8, "/img.jpg") == 0));
        if (isList(file)) {
            checkedRows(file);
        } else if (!picture && file != "err.csv" && file != platform::kLockName) {
            std::fprintf(stderr, "unexpected file: %s\n", file.c_str());
            check(false, "the run left a file the program does not make");
        }
        made[file] = fuzzing::readWholeFile(file);
    }
    return made;
}

std::vector<std::string> sortedRows(const std::string& stored) {
    std::vector<std::string> rows =
        listRows(platform::fromStoredText(stored.data(), stored.size()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    check(utf8ToShiftJis(input).size() <= 2 * size, "code page 932 text grew over twice");
    const std::string composed = platform::composeNfc(input);
    check(platform::composeNfc(composed) == composed, "composing again changed the text");

    // The program prints a dot per track; the console is not what is tested here.
    static std::FILE* const quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    fuzzing::startInScratchFolder();
    fs::create_directories(fs::path(kMusicFile).parent_path());
    fuzzing::writeWholeFile(kMusicFile, kMusicBytes);
    check(mkfifo(kPipeFile, 0600) == 0, "cannot make the named pipe");
    fuzzing::writeWholeFile("export.xml", input);

    const std::map<std::string, std::string> first = runOnce();
    const std::map<std::string, std::string> second = runOnce();
    check(first.size() == second.size(), "the second run made or removed a file");
    for (const auto& [file, bytes] : second) {
        const auto before = first.find(file);
        check(before != first.end(), "the second run made a file the first did not");
        if (file == "err.csv") {
            check(bytes == before->second + before->second, "the notes did not gain one copy");
        } else if (file == "errlist.csv") {
            check(sortedRows(bytes) == sortedRows(before->second + before->second),
                  "the error list did not keep its rows and gain one copy of them");
        } else if (bytes != before->second) {
            std::fprintf(stderr, "changed by the second run: %s\n", file.c_str());
            check(false, "the second run changed a file");
        }
    }
    return 0;
}
