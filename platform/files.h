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
// binary modes: text line ends are the program's own business (see text_file.h).
std::FILE* openFile(const std::string& path, const char* mode);

// Moves the position of `file` to `offset` bytes from its start, with 64-bit offsets.
// False on failure.
bool seekFile(std::FILE* file, long long offset);

// Moves `source` over `target`, replacing it in one step, so a reader sees either the old
// or the new file. Both lie in the same folder. False on failure; `source` is then left
// for the caller to remove and `target` is untouched.
bool replaceFile(const std::string& source, const std::string& target);

// Removes a file. False when it could not be removed (or did not exist).
bool removeFile(const std::string& path);

// True when `path` names an existing file or folder.
bool pathExists(const std::string& path);

// A text that tells the folder at `path` apart from every other folder, whatever path
// names it (on Windows, paths that differ in letter case can name the same folder).
// Empty when there is no such folder.
std::string folderIdentity(const std::string& path);

// The local path of a file URL, given the URL's decoded path text (UTF-8, cut at a zero
// byte): on Windows in its ANSI code page, on POSIX systems the text itself.
std::string localFilePath(const std::string& urlPath);

// Opens a music file for binary reading by its local path, unbuffered (callers read large
// blocks), and sets `size` to the file's size at the moment it was opened. On POSIX systems
// a file URL's path is absolute, but it comes relative from the URL: a relative path is
// looked up from the root, and only when no file is there from the working folder. nullptr
// when neither can be opened, or when the path names no file on a disk (a device, a pipe,
// a folder).
std::FILE* openMusicFile(const std::string& localPath, long long& size);

}  // namespace platform
