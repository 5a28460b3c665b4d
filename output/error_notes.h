// "err.csv" in the working folder collects one bare word per path that could not be
// decoded. Notes are only ever appended, one line at a time, and never stop the run.
#pragma once

#include <string>

// Appends `word` as a line to "err.csv". When the file cannot be opened or written (a
// read-only working folder), the note is dropped and the run goes on.
void appendErrorNote(const std::string& word);
