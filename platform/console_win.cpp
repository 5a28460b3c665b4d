#include "platform/console.h"

#include <conio.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/console_text.h"

namespace platform {

namespace {

// How long a progress dot may wait before it is shown: often enough to look continuous,
// seldom enough that the console is not handed one write per track, each of which costs
// the console host a redraw.
constexpr ULONGLONG kDotDelayMilliseconds = 30;

// The C library writes to a console at the end of every call; given a buffer of its own,
// standard output waits for the flushes below instead.
bool bufferConsoleOutput() {
    if (!_isatty(_fileno(stdout))) {
        return false;
    }
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 12);
    return true;
}

}  // namespace

void consoleWrite(const char* text) {
    // On a console the text shows at once, but a progress dot waits until the last write is
    // a little while ago; any other text takes the waiting dots with it, so the order holds.
    // Into a file or a pipe nobody watches, and the stream's own buffering decides.
    static const bool console = bufferConsoleOutput();
    static ULONGLONG lastFlush = 0;
    std::fputs(text, stdout);
    if (!console) {
        return;
    }
    const ULONGLONG now = GetTickCount64();
    if (std::strcmp(text, text::kTrackDot) != 0 || now - lastFlush >= kDotDelayMilliseconds) {
        std::fflush(stdout);
        lastFlush = now;
    }
}

void waitForKey() {
    std::fflush(stdout);
    // _getch reads the console's keyboard, not standard input: it must only be used when
    // standard input is that console. _isatty cannot tell, since it also says yes for the
    // NUL device ("bunkai < NUL"); GetConsoleMode succeeds for console input alone.
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) {
        // Read one byte if there is one; end of file returns at once.
        std::getchar();
        return;
    }
    _getch();
}

}  // namespace platform
