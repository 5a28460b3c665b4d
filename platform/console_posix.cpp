#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/console_text.h"

namespace platform {

namespace {

// How long a progress dot may wait before it is shown: often enough to look continuous,
// seldom enough that a terminal is not handed one write per track.
constexpr long kDotDelayMilliseconds = 30;

long long millisecondsNow() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace

void consoleWrite(const char* text) {
    // On a console the text shows at once, but a progress dot waits until the last write is
    // a little while ago; any other text takes the waiting dots with it, so the order holds.
    // Into a file or a pipe nobody watches, and the stream's own buffering decides.
    static const bool console = isatty(STDOUT_FILENO);
    static long long lastFlush = 0;
    std::fputs(text, stdout);
    if (!console) {
        return;
    }
    const long long now = millisecondsNow();
    if (std::strcmp(text, text::kTrackDot) != 0 || now - lastFlush >= kDotDelayMilliseconds) {
        std::fflush(stdout);
        lastFlush = now;
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
