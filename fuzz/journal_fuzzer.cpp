// The journal an interrupted run leaves behind, in any state: cut short, garbled by a disk
// fault, or edited. The next run replays it before reading the export, and must neither stop
// on it nor be led by it to write outside the working folder, and it must remove it and
// every temporary list file so that later runs do not meet them again.
//
// The input is records, then garbage: records ended by a 0x1E byte, each its mode and kind
// bytes and its texts ended by 0x1F bytes, are written as the program writes them (with their
// checksums), so that what they say is replayed; the bytes after a 0x1D byte follow as they
// are, like a record torn by a crash.
#include "fuzz/fuzz_support.h"
#include "output/journal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t tail = std::min(input.find('\x1D'), input.size());
    std::string journal;
    for (std::size_t at = 0; at + 2 <= tail;) {
        const std::size_t end = std::min(input.find('\x1E', at), tail);
        std::string texts[4];
        std::size_t count = 0;
        for (std::size_t field = at + 2; count < 4 && field <= end;
             field += texts[count++].size() + 1) {
            texts[count] = input.substr(field, std::min(input.find('\x1F', field), end) - field);
        }
        journal += journalRecordBytes(input[at], input[at + 1], texts, count);
        at = end + 1;
    }
    startInScratchFolder("journal", "<dict>\n</dict>\n");
    writeWholeFile(kJournalName, journal + input.substr(tail));
    runOnExport();
    for (const auto& [file, bytes] : filesBelow()) {
        check(file != kJournalName && file.find(".bunkai-new") == std::string::npos,
              "the journal or a temporary list file was left behind: " + file);
    }
    return 0;
}
