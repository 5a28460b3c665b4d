// Helpers shared by the tests: a scoped temporary working folder and small file helpers.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// Creates a fresh temporary folder and makes it the working folder for the lifetime of
// the object; the previous working folder is restored and the folder removed afterwards.
class ScopedTempFolder {
  public:
    ScopedTempFolder();
    ~ScopedTempFolder();
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

    // The absolute path of the folder, without a trailing "/".
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string previous_;
};

// Reads a whole file as bytes; fails the current test when it cannot be read.
std::string readFile(const std::string& path);

// Writes bytes to a file, creating or truncating it; fails the current test on error.
void writeFile(const std::string& path, const std::string& bytes);

bool fileExists(const std::string& path);

// Every path below `folder` (files and folders, relative, sorted), for comparing trees.
std::vector<std::string> listTree(const std::string& folder);

// The result of running the built program.
struct RunResult {
    int exitStatus = -1;
    std::string output;  // standard output
};

// Runs the built program in the working folder with the given arguments and standard
// input from /dev/null, capturing its standard output.
RunResult runProgram(const std::vector<std::string>& arguments);

}  // namespace testing_support
