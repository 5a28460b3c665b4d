#include "platform/console.h"

#include <conio.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace platform {

void consoleWrite(const char* text) {
    // On a console each dot shows at once; into a file or a pipe, writing a dot per track
    // would cost a system call per track for nobody to watch.
    static const bool console = _isatty(_fileno(stdout));
    std::fputs(text, stdout);
    if (console) {
        std::fflush(stdout);
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
