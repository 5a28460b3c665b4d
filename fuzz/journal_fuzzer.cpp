// The journal an interrupted run leaves behind, in any state: cut short, garbled by a disk
// fault, or edited. The next run replays it before reading the export, and must neither stop
// on it nor be led by it to write outside the working folder, and it must remove it and
// every temporary list file so that later runs do not meet them again.
#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/program.h"
#include "fuzz/fuzz_support.h"
#include "output/list_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::FILE* const quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    fuzzing::startInScratchFolder();
    fuzzing::writeWholeFile(kJournalName, std::string(reinterpret_cast<const char*>(data), size));
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
