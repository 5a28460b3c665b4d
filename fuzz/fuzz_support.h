// What the fuzz targets share: a check that stops the run loudly, and a scratch working
// folder whose surroundings can be watched.
#pragma once

#include <string>
#include <vector>

namespace fuzzing {

// Stops the process with `what` when `condition` fails. libFuzzer then keeps the input as a
// crash; the replay test fails with the message.
void check(bool condition, const std::string& what);

// Makes an empty folder "work", alone in a fresh folder of the temporary folder, the working
// folder (on the first call), and empties it (on every call), so every input starts there.
void startInScratchFolder();

// Checks that the working folder is still the scratch folder and that its parent holds
// nothing else: a file or folder created through ".." or an absolute path shows up there.
void checkNothingOutside();

// Every file below the working folder, relative, "/" between levels, sorted.
std::vector<std::string> filesBelow();

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);

}  // namespace fuzzing
