#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

void consoleWrite(const char* text) {
    // On a console each dot shows at once; into a file or a pipe, writing a dot per track
    // would cost a system call per track for nobody to watch.
    static const bool console = isatty(STDOUT_FILENO);
    std::fputs(text, stdout);
    if (console) {
        std::fflush(stdout);
    }
}

void waitForKey() {
    std::fflush(stdout);
    termios saved;
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) {
        // Not a terminal: read one byte if there is one; end of file returns at once.
        char byte;
        (void)!read(STDIN_FILENO, &byte, 1);
        return;
    }
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) {
        return;
    }
    char byte;
    (void)!read(STDIN_FILENO, &byte, 1);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

}  // namespace platform
