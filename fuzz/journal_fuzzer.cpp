// The journal an interrupted run leaves behind, in any state: cut short, garbled by a disk
// fault, or edited. The next run replays it before reading the export, and must neither stop
// on it nor be led by it to write outside the working folder, and it must remove it and
// every temporary list file so that later runs do not meet them again.
//
// The input is records, then garbage: records ended by a 0x1E byte, each its mode and kind
// bytes and its texts ended by 0x1F bytes, are written as the program writes them (with their
// checksums), so that what they say is replayed; the bytes after a 0x1D byte follow as they
// are, like a record torn by a crash.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/program.h"
#include "fuzz/fuzz_support.h"
#include "output/list_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::FILE* const quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t tail = std::min(input.find('\x1D'), input.size());
    std::string journal;
    for (std::size_t at = 0; at + 2 <= tail;) {
        const std::size_t end = std::min(input.find('\x1E', at), tail);
        std::string texts[4];
        std::size_t count = 0;
        for (std::size_t field = at + 2; count < 4 && field <= end; ++count) {
            const std::size_t stop = std::min(input.find('\x1F', field), end);
            texts[count] = input.substr(field, stop - field);
            field = stop + 1;
        }
        journal += journalRecordBytes(input[at], input[at + 1], texts, count);
        at = end + 1;
    }
    fuzzing::startInScratchFolder();
    fuzzing::writeWholeFile(kJournalName, journal + input.substr(tail));
    fuzzing::writeWholeFile("export.xml", "<dict>\n</dict>\n");

    char program[] = "bunkai";
    char exportPath[] = "export.xml";
    char* argv[] = {program, exportPath, nullptr};
    fuzzing::check(runProgram(2, argv) == 0, "the run did not end normally");
    fuzzing::checkNothingOutside();
    for (const std::string& file : fuzzing::filesBelow()) {
        fuzzing::check(file != kJournalName, "the journal was left behind");
        fuzzing::check(file.find(".bunkai-new") == std::string::npos,
                       "a temporary list file was left behind");
    }
    return 0;
}
