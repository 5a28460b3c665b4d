// Console output and the key wait after the usage text.
#pragma once

namespace platform {

// Writes `text` to standard output as it is, without conversion.
void consoleWrite(const char* text);

// Waits for one key press without echo. Returns at once when standard input is not a
// terminal that can deliver one (end of file, a pipe in a script).
void waitForKey();

}  // namespace platform
