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

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The rows of a list, each checked to be "N,M,", N bytes of key (as the program reads it
// back), ",", M bytes of shown text and then the line's end (folder rows) or "," (tracks).
std::vector<std::string> checkedRows(const std::string& file) {
    const std::string stored = fuzzing::readWholeFile(file);
    check(endsWith(stored, "\r\n"), "a list does not end in CR LF: " + file);
    const std::vector<std::string> rows =
        listRows(platform::fromStoredText(stored.data(), stored.size()));
    const bool tracks = file == "errlist.csv" || std::count(file.begin(), file.end(), '/') >= 3;
    for (const std::string& row : rows) {
        const std::string key = rowKey(row);
        const std::size_t shown = std::strtoul(row.c_str() + row.find(',') + 1, nullptr, 10);
        const std::string lengths = std::to_string(key.size()) + "," + std::to_string(shown) + ",";
        const std::size_t end = lengths.size() + key.size() + 1 + shown;
        check(row.compare(0, lengths.size(), lengths) == 0 &&
                  row.compare(lengths.size() + key.size(), 1, ",") == 0 &&
                  (tracks ? row.size() > end && row[end] == ',' : row.size() == end),
              "a row does not hold what its lengths announce: " + row);
    }
    return rows;
}

// An index list that is itself a folder (an album named "list.csv") holds no rows.
void checkFoldersIndexed(const std::string& folder, const std::string& list, int depth) {
    if (fs::is_directory(list)) {
        return;
    }
    // The folder of a row is named as the program names it; letters compare as keys do,
    // since on POSIX "a" and "A" share a row.
    std::vector<std::string> names;
    if (fs::exists(list)) {
        for (const std::string& row : checkedRows(list)) {
            names.push_back(windowsFolderName(utf8ToShiftJis(rowKey(row))));
        }
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory()) {
            check(std::any_of(names.begin(), names.end(),
                              [&](const std::string& row) { return compareKeys(row, name) == 0; }),
                  "no index row in " + list + " for " + name);
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
        if (file == kMusicFile || file == kPipeFile || file == "export.xml") {
            continue;
        }
        if (file == "errlist.csv" || file == "list.csv" || endsWith(file, "/list.csv")) {
            checkedRows(file);
        } else {
            check(file == "err.csv" || file == platform::kLockName || endsWith(file, "/img.png") ||
                      endsWith(file, "/img.jpg"),
                  "the run left a file the program does not make: " + file);
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
        check(before != first.end(), "the second run made " + file);
        if (file == "err.csv") {
            check(bytes == before->second + before->second, "the notes did not gain one copy");
        } else if (file == "errlist.csv") {
            check(sortedRows(bytes) == sortedRows(before->second + before->second),
                  "the error list did not keep its rows and gain one copy of them");
        } else {
            check(bytes == before->second, "the second run changed " + file);
        }
    }
    return 0;
}
