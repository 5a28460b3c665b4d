// The program's only door to the file system. Paths are byte strings handed to the
// operating system unchanged: code page 932 on Windows, UTF-8 on POSIX systems.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// Creates one folder level. True only when this call created the folder: an existing
// folder, a missing parent and a refused name all give false.
bool makeFolder(const std::string& path);

// Opens a file like fopen with the given mode; nullptr on failure. Callers always use
// binary modes: text line ends are the program's own business (see output/text_file.h).
std::FILE* openFile(const std::string& path, const char* mode);

// Moves the read/write position of `file` to `offset` bytes from its start. Offsets past
// 2 GiB work on every platform, so files of any size can be read in pieces. False when the
// position cannot be set.
bool seekFile(std::FILE* file, long long offset);

// Moves `source` over `target`, replacing it in one step, so a reader sees either the old
// or the new file. Both lie in the same folder. False on failure; `source` is then left
// for the caller to remove and `target` is untouched.
bool replaceFile(const std::string& source, const std::string& target);

// Removes a file. False when it could not be removed (or did not exist).
bool removeFile(const std::string& path);

// True when `path` names an existing file or folder.
bool pathExists(const std::string& path);

}  // namespace platform

namespace platform {

// The path by which the file of a file URL is opened, given the URL's decoded path text
// (UTF-8, text cut at a zero byte). Windows opens it in its ANSI code page. On POSIX
// systems the URL's path is absolute: when the text is relative and names no file, the
// file is looked up from the root.
std::string localFilePath(const std::string& urlPath);

}  // namespace platform

namespace platform {

// A text that tells the folder at `path` apart from every other folder, whatever path
// names it (on Windows, paths that differ in letter case can name the same folder).
// Empty when there is no such folder.
std::string folderIdentity(const std::string& path);

}  // namespace platform
