// Console output and the key wait after the usage text.
#pragma once

namespace platform {

// Writes `text` to standard output as it is, without conversion; on a console it shows at
// once.
void consoleWrite(const char* text);

// Shows what was written, then waits for one key press without echo. Returns at once when standard
// input is not a terminal that can deliver one (end of file, a pipe in a script).
void waitForKey();

}  // namespace platform
