// The program's entry and console flow.
#pragma once

// Runs bunkai with the command line of main: prints the banner, opens the export named by
// the one argument (or, without one, "iTunes Music Library.xml", then "ライブラリ.xml"),
// takes the working folder's lock, creates "Music" and reads the export through. Returns 0
// once an export was read and every list written; -1 after showing the usage text (no
// export, or more than one argument); kFolderBusyStatus, having changed nothing, when
// another run holds the working folder; kListsNotWrittenStatus, after the closing message
// and a line that says so, when a list could not be written (the next run finishes it).
int runProgram(int argc, char** argv);

inline constexpr int kListsNotWrittenStatus = 1;
inline constexpr int kFolderBusyStatus = 2;
