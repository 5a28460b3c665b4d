// Helpers shared by the tests: a scoped temporary working folder, small file helpers, the
// built program's runs, and the few facts that differ between the Windows and the POSIX
// build. Paths are byte strings as the program uses them: code page 932 on Windows, UTF-8
// on POSIX systems. Every helper that fails fails the current test.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

inline constexpr bool kWindows = std::filesystem::path::preferred_separator == '\\';

// Creates a fresh temporary folder and makes it the working folder for the lifetime of
// the object; the previous working folder is restored and the folder removed afterwards.
class ScopedTempFolder {
  public:
    ScopedTempFolder();
    ~ScopedTempFolder();
    ScopedTempFolder(const ScopedTempFolder&) = delete;
    ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

    // The absolute path of the folder, without a trailing separator.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::filesystem::path previous_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);  // creates or truncates
bool fileExists(const std::string& path);
void makeFolders(const std::string& path);  // with its missing parents

// Every path below `folder` (files and folders, relative, "/" between levels, sorted).
std::vector<std::string> listTree(const std::string& folder);

struct RunResult {
    int exitStatus = -1;
    std::string output;  // standard output
};

// Runs the built program in the working folder with the given arguments and an empty
// standard input, capturing its standard output.
RunResult runProgram(const std::vector<std::string>& arguments);

// The exit status runProgram reports after the program returned -1: Windows keeps the whole
// value, a POSIX exit status its low byte.
inline constexpr int kFailureExitStatus = kWindows ? -1 : 255;

// The bytes the program writes to its console for a text given in UTF-8: on Windows code
// page 932, with every line end written as CR LF by the text-mode standard output.
std::string consoleText(const std::string& utf8);

// The bytes of a file name given in UTF-8 as this build's file functions take them.
std::string localName(const std::string& utf8);

// The local path by which the program opens a file URL's absolute path (UTF-8, below the
// URL's "localhost/"): the same bytes as a file name.
inline std::string localPathOfUrl(const std::string& urlPath) {
    return localName(urlPath);
}

// Conversions between the program's byte-string paths and std::filesystem paths.
std::filesystem::path toPath(const std::string& bytes);
std::string fromPath(const std::filesystem::path& path);  // with "/" between levels

// Makes `link` a symbolic link to the folder `target` (a path relative to the link's folder,
// '/' between levels). False where the system does not let this process make one.
bool makeFolderLink(const std::string& link, const std::string& target);

// Makes every write of this process that would take a file past `bytes` fail, as on a full
// disk; a negative `bytes` lifts the limit. False where the system cannot do that.
bool limitFileWrites(long long bytes);

}  // namespace testing_support
