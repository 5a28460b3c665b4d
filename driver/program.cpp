#include "driver/program.h"

#include <string>

#include "library/header_reader.h"
#include "library/line_reader.h"
#include "output/list_store.h"
#include "output/organiser.h"
#include "platform/console.h"
#include "platform/console_text.h"
#include "platform/files.h"

namespace {

bool openExport(int argc, char** argv) {
    if (argc <= 1) {
        return openLibrary(text::kFirstExportName) || openLibrary(text::kSecondExportName);
    }
    if (argc == 2) {
        return openLibrary(argv[1]);
    }
    return false;
}

int showUsage() {
    platform::consoleWrite(text::kUsage);
    platform::consoleWrite(text::kUsagePlace);
    platform::consoleWrite(text::kUsageRun);
    platform::consoleWrite(text::kPressKey);
    platform::waitForKey();
    return -1;
}

}  // namespace

int runProgram(int argc, char** argv) {
    platform::consoleWrite(text::kBanner);
    platform::consoleWrite(text::kVersion);
    platform::consoleWrite("\n");
    if (!openExport(argc, argv)) {
        return showUsage();
    }
    platform::consoleWrite(text::kAnalysing);
    platform::makeFolder("Music");
    beginOrganising();
    recoverLists();
    while (!atEndOfInput()) {
        readLine();
        if (lineIs("<dict>")) {
            platform::consoleWrite(text::kReadingLibrary);
            if (readLibraryHeader() == -1) {
                platform::consoleWrite(text::kAnalysisDone);
                break;
            }
        }
    }
    closeLibrary();
    finishLists();
    return 0;
}
