// The program's entry and console flow.
#pragma once

// Runs bunkai with the command line of main: prints the banner, opens the export named by
// the one argument (or, without one, "iTunes Music Library.xml", then "ライブラリ.xml"),
// creates "Music" and reads the export through. Returns 0 once an export was opened, and
// -1 after showing the usage text (no export, or more than one argument).
int runProgram(int argc, char** argv);
