// The journal an interrupted run leaves behind, in any state: cut short, garbled by a disk
// fault, or edited. The next run replays it before reading the export, and must neither stop
// on it nor be led by it to write outside the working folder, and it must remove it so that
// later runs do not meet it again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/program.h"
#include "fuzz/fuzz_support.h"
#include "output/list_store.h"

namespace {

using fuzzing::check;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The program prints a dot per track; the console is not what is tested here.
    static std::FILE* const quiet = std::freopen("/dev/null", "w", stdout);
    (void)quiet;
    fuzzing::startInScratchFolder();
    fuzzing::writeWholeFile(kJournalName, fuzzing::bytesOf(data, size));
    fuzzing::writeWholeFile("export.xml", "<dict>\n</dict>\n");

    char program[] = "bunkai";
    char exportPath[] = "export.xml";
    char* argv[] = {program, exportPath, nullptr};
    check(runProgram(2, argv) == 0, "the run did not end normally");

    fuzzing::checkNothingOutside();
    check(!fuzzing::pathExists(kJournalName), "the journal was left behind");
    for (const std::string& file : fuzzing::filesBelow()) {
        check(!endsWith(file, ".bunkai-new"), "a temporary list file was left behind");
    }
    return 0;
}
