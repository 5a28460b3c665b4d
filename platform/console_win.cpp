#include "platform/console.h"

#include <conio.h>
#include <io.h>

#include <cstdio>

namespace platform {

void consoleWrite(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void waitForKey() {
    // _getch would block forever on a redirected standard input that has ended.
    if (!_isatty(_fileno(stdin))) {
        std::getchar();
        return;
    }
    _getch();
}

}  // namespace platform
