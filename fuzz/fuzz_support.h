// What the fuzz targets share: a check that stops the run loudly, a scratch working folder
// whose surroundings can be watched, and checks of the text files the program writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzing {

// Stops the process with `what` when `condition` fails. libFuzzer then keeps the input as a
// crash; the replay test fails with the message.
void check(bool condition, const char* what);

// A few words on the step being checked, which a failing check reports with its message.
void setContext(const char* step);

// The input as a byte string.
std::string bytesOf(const std::uint8_t* data, std::size_t size);

// On the first call, creates an empty parent folder in the temporary folder with a single
// folder "work" in it and makes "work" the working folder; later calls do nothing. The
// parent is removed when the process exits normally.
void enterScratchFolder();

// Removes everything in the working folder, so every input starts from an empty folder.
void clearScratchFolder();

// Both of the above: every input starts here, in an empty scratch folder.
void startInScratchFolder();

// Checks that the working folder is still the scratch folder and that its parent holds
// nothing but it: a file or folder created through ".." or an absolute path in the parent
// shows up there.
void checkNothingOutside();

// Every file below the working folder, relative, "/" between levels, sorted.
std::vector<std::string> filesBelow();

bool pathExists(const std::string& path);
std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);

// Which rows a list file holds: the root and artist lists name folders, album lists and the
// error list hold tracks.
enum class RowShape { index, track };

// Checks the bytes of a list file as stored: every line ends in CR LF, none is blank, and
// every row starts "N,M,", then N bytes of key, ",", M bytes of shown text, and then the end
// of the line (index rows) or "," (track rows).
void checkListFile(const std::string& path, const std::string& stored, RowShape shape);

}  // namespace fuzzing
