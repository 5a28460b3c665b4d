// Whole exports through the program as a user runs it, twice, in an empty working folder.
// Each run must create nothing outside the working folder, leave the music file alone, make
// only the program's own files and write every list row in the list format. The second run
// changes nothing but the error list and the notes, which gain a second copy of their rows.
#include <sys/stat.h>

#include <set>
#include <sstream>

#include "fuzz/fuzz_support.h"
#include "platform/lock.h"
#include "tests/list_format.h"

// A music file with a cover that the seeds' Locations name ("file://localhost/Media/Music/
// A/B/01.mp3" resolves to it, relative to the working folder), and a named pipe beside it,
// which no one writes to: reading it would never end.
const char kMusicFile[] = "Media/Music/A/B/01.mp3";
const std::string kMusicBytes = std::string("ID3\x03\0\0\0\0\0\0APIC\0\0\0\0\0\0", 20) +
                                "\x89PNG\r\n\x1a\n" + std::string("\0\0\0\rIHDR", 8) +
                                "IEND\xAE\x42\x60\x82" + "audio";

// The files in the working folder after a run, with their bytes: the export, the music file,
// and what the run made: lists, pictures, the notes and the lock.
static std::map<std::string, std::string> runOnce() {
    runOnExport();
    std::map<std::string, std::string> made = filesBelow();
    check(made[kMusicFile] == kMusicBytes, "the music file was changed");
    for (const auto& [file, bytes] : made) {
        const std::string name = fs::path(file).filename();
        if (name == "list.csv" || file == "errlist.csv") {
            // The error list and the album lists, three levels down, hold track rows.
            const std::string fault = testing_support::listFormatFault(
                bytes, file == "errlist.csv" || std::count(file.begin(), file.end(), '/') == 3);
            check(fault.empty(), file + ": " + fault);
        } else {
            check(file == "err.csv" || file == platform::kLockName || name == "img.png" ||
                      name == "img.jpg" || file == kMusicFile || file == "export.xml",
                  "the run left a file the program does not make: " + file);
        }
    }
    return made;
}

// The lines of a text, in no order: rows that could not go to their list join the error list
// wherever the run was at the time.
static std::multiset<std::string> lines(const std::string& text) {
    std::multiset<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.insert(line);
    }
    return lines;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    startInScratchFolder("export", std::string(reinterpret_cast<const char*>(data), size));
    fs::create_directories("Media/Music/A/B");
    writeWholeFile(kMusicFile, kMusicBytes);
    check(mkfifo("Media/Music/A/B/02.mp3", 0600) == 0, "cannot make the named pipe");
    const std::map<std::string, std::string> first = runOnce();
    const std::map<std::string, std::string> second = runOnce();
    check(first.size() == second.size(), "the second run made or removed a file");
    for (const auto& [file, bytes] : second) {
        check(first.count(file) == 1, "the second run made " + file);
        const std::string& before = first.at(file);
        check(file == "err.csv" || file == "errlist.csv" ? lines(bytes) == lines(before + before)
                                                         : bytes == before,
              "the second run changed " + file + " otherwise than by a copy of its rows");
    }
    return 0;
}
