#include "driver/program.h"

#include <string>

#include "library/header_reader.h"
#include "library/line_reader.h"
#include "library/media_folder.h"
#include "library/track_record.h"
#include "output/list_store.h"
#include "output/organiser.h"
#include "platform/console.h"
#include "platform/console_text.h"
#include "platform/files.h"
#include "platform/lock.h"

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

// Everything a run keeps between tracks starts afresh, so that a run in the same process as
// an earlier one (the tests run the program so) finds nothing of it.
void beginRun() {
    mediaFolderUrl.clear();
    clearTrackRecord();
    beginOrganising();
    beginLists();
}

// Reads the export from its current line on: the library's dictionary, whose tracks go to
// the organiser one by one.
void readExport() {
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
}

}  // namespace

int runProgram(int argc, char** argv) {
    platform::consoleWrite(text::kBanner);
    platform::consoleWrite(text::kVersion);
    platform::consoleWrite("\n");
    if (!openExport(argc, argv)) {
        return showUsage();
    }
    // Before anything is made or replayed: a second run must find the folder as the first
    // one leaves it. Where no lock can be had (a read-only folder) the run goes on without:
    // it can change nothing there either.
    platform::WorkingFolderLock lock;
    if (lock.state() == platform::LockState::busy) {
        closeLibrary();
        platform::consoleWrite(text::kFolderBusy);
        return kFolderBusyStatus;
    }
    platform::consoleWrite(text::kAnalysing);
    platform::makeFolder("Music");
    beginRun();
    recoverLists();
    organiseTracksOf(readExport);
    if (!finishLists()) {
        platform::consoleWrite(text::kListsNotWritten);
        return kListsNotWrittenStatus;
    }
    return 0;
}
