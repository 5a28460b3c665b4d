// Fills the track record from the entry lines of a track dictionary.
#pragma once

#include <string_view>

// Handles one entry line of a track dictionary, given its key. Keys are matched exactly
// (same bytes, same case); a key the program does not use changes nothing. Text values are
// taken from between their tags and their XML escapes decoded; numbers and dates are kept
// as written; "Album Artist" and "Compilation" raise their flags whatever the value; the
// "Location" line is handed to resolveLocation. The last line of a repeated key wins.
void parseTrackLine(std::string_view key, std::string_view line);
