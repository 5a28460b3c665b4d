// Helpers shared by the tests: a scoped temporary working folder, small file helpers, runs
// of the program, and the few facts that differ between the Windows and the POSIX
// build. Paths are byte strings as the program uses them: code page 932 on Windows, UTF-8
// on POSIX systems. Every helper that fails fails the current test.
#pragma once

#include <filesystem>
#include <set>
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
std::string treeText(const std::string& folder);  // the same, joined by blanks

// Checks the bytes of a whole list file: every line ends in CR LF (no lone LF) and is not
// blank, and every row is "N,M,", N bytes of key, ",", M bytes of shown text and then the
// end of the line (index rows: the root and artist lists) or "," and twelve more columns
// (track rows: album lists and the error list; values may hold commas, so at least twelve).
// Returns "" when all rows are well formed, else what is wrong and the row.
std::string listFormatFault(const std::string& bytes, bool trackRows);

// The first fault of the lists below `folder` (every list.csv and errlist.csv; track rows in
// album lists, three levels down, and in the error list), with its path; "" when none. The
// lists at `mayBeCut` (paths below `folder`) may end in a row cut short.
std::string listsFault(const std::string& folder, const std::set<std::string>& mayBeCut = {});

struct RunResult {
    int exitStatus = -1;
    std::string output;  // standard output
};

// Runs the program in this process, in the working folder, with the given arguments, an
// empty standard input and its standard output captured: as main would, so that the
// program-wide state a run leaves must not disturb the next.
RunResult runProgram(const std::vector<std::string>& arguments);

// The bytes the program writes to its console for a text given in UTF-8: on Windows code
// page 932, with every line end written as CR LF by the text-mode standard output.
std::string consoleText(const std::string& utf8);

// The bytes of a file name given in UTF-8 as this build's file functions take them.
std::string localName(const std::string& utf8);

// Conversions between the program's byte-string paths and std::filesystem paths.
std::filesystem::path toPath(const std::string& bytes);
std::string fromPath(const std::filesystem::path& path);  // with "/" between levels

// Small exports in the layout the media player writes. An entry is one line of a track: a
// key and its value element, e.g. ("Name", "<string>x</string>").
struct Entry {
    std::string key;
    std::string value;
};
std::string stringValue(const std::string& text);
std::string integerValue(const std::string& digits);

// A file URL as the media player writes it for a path below the working folder, e.g.
// "file://localhost/Media/Music/A/B/01.mp3" for "Media/Music/A/B/01.mp3" (already
// escaped); the music files can then sit in the test's working folder.
std::string locationValue(const std::string& escapedPath);

// The whole export: header entries (a "Music Folder" entry with `musicFolder`, none when it
// is empty), a tracks dictionary with these tracks (each a list of entry lines), and a
// playlists array unless `withPlaylists` is false.
std::string exportText(const std::vector<std::vector<Entry>>& tracks, bool withPlaylists = true,
                       const std::string& musicFolder = "file://localhost/Media/");

}  // namespace testing_support
