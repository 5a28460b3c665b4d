#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace platform {

void consoleWrite(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void waitForKey() {
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
