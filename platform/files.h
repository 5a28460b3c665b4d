// The program's only door to the file system. Paths are byte strings handed to the
// operating system unchanged: code page 932 on Windows, UTF-8 on POSIX systems.
//
// The output tree may hold anything a user or an attacker left there. The program's own
// files and folders (everything below but pathExists, openInputFile and openMusicFile) are
// reached without following a link, junction or other reparse point at any level of their
// path: such a link counts as a name that cannot be used, and the call fails as it would for
// a refused name. Files are opened only when they are regular files on a disk, and opening
// never waits, so a named pipe or a device in place of a list fails at once.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

// Creates one folder level. True only when this call created the folder: an existing
// folder or link, a missing parent, a link among the parents and a refused name all give
// false.
bool makeFolder(const std::string& path);

// Opens one of the program's own files like fopen with the given mode ("rb", "wb", "ab",
// with or without "+"); nullptr on failure, with errno ENOENT when the file or a folder on
// its path does not exist. A link at any level, or anything but a regular file, gives
// nullptr and is left unchanged ("wb" empties the file only once it is known to be a
// regular file). Callers always use binary modes: text line ends are the program's own
// business (see text_file.h).
std::FILE* openFile(const std::string& path, const char* mode);

// Reads the whole of one of the program's own files into `bytes`, opened as openFile(path,
// "rb") opens it. False on failure, with errno ENOENT when the file or a folder on its path
// does not exist; `bytes` is then unspecified.
bool readWholeFile(const std::string& path, std::string& bytes);

// Writing a file whole, so that a reader sees either the old or the new one, and no link or
// file planted beside it is ever written through:
//
//   std::string replacement;
//   std::FILE* file = createReplacementFile(target, replacement);
//   ... write to file ...
//   bool done = file && commitReplacementFile(file, replacement, target, writtenInFull);
//
// createReplacementFile creates a new, empty file for binary writing in the folder of
// `target`, under a name no other file has and no other run uses at the same time (the
// target's name, the process id, a counter and ".bunkai-new"). It is created exclusively
// (POSIX O_CREAT|O_EXCL|O_NOFOLLOW, Windows CREATE_NEW), so nothing standing there already
// is opened. `replacementPath` receives its path. nullptr when it cannot be created.
std::FILE* createReplacementFile(const std::string& target, std::string& replacementPath);

// Creates the file `path` for binary writing when nothing stands there yet: exclusively
// (POSIX O_CREAT|O_EXCL|O_NOFOLLOW, Windows CREATE_NEW), with no link followed at any level.
// Unlike a replacement file, it has its final name from the start, which saves a temporary
// name and a move for each file of a folder the run has just made; a run stopped while
// writing it leaves it cut short, for the next run to mend (see list_store.h). nullptr when it
// cannot be created, with errno EEXIST when something stands at `path` already.
std::FILE* createNewFile(const std::string& path);

// Closes `file` from createReplacementFile and, when `complete` is true and the close
// succeeds, moves it over `target` (see replaceFile; a link at `target` is replaced, not
// followed). On any failure the replacement file is removed, `target` is left as it was, and
// the result is false.
bool commitReplacementFile(std::FILE* file, const std::string& replacementPath,
                           const std::string& target, bool complete);

// Writes `size` bytes to `file`; false when not all of them were taken.
bool writeFile(std::FILE* file, const void* data, std::size_t size);

// Hands what `file` holds in its buffer to the system. False on failure.
bool flushFile(std::FILE* file);

// Closes `file`, writing what its buffer still holds. False on failure; the file is closed
// either way.
bool closeFile(std::FILE* file);

// Moves the position of `file` to `offset` bytes from its start, with 64-bit offsets.
// False on failure.
bool seekFile(std::FILE* file, long long offset);

// Moves `source` over `target`, replacing it in one step, so a reader sees either the old
// or the new file. Both lie in the same folder. False on failure; `source` is then left
// for the caller to remove and `target` is untouched.
bool replaceFile(const std::string& source, const std::string& target);

// Removes one of the program's own files: only a regular file, never what a link, a pipe
// or a folder standing in its place is. False when nothing was removed.
bool removeFile(const std::string& path);

// True when `path` names an existing file or folder.
bool pathExists(const std::string& path);

// True when `path` names a folder and no level of it is a link. Looks only.
bool folderExists(const std::string& path);

// A text that tells the folder at `path` apart from every other folder, whatever path
// names it (on Windows, paths that differ in letter case can name the same folder).
// Empty when there is no such folder, or when a level of `path` is a link.
std::string folderIdentity(const std::string& path);

// Turns the decoded path text of a file URL (UTF-8, cut at a zero byte) into the file's
// local path, in place: on Windows in its ANSI code page, on POSIX systems the text itself.
void toLocalFilePath(std::string& path);

// Opens a file that the user named (the export) for binary reading. Links are followed, as
// any program follows them for a file it is given; nullptr when it cannot be opened or is no
// regular file on a disk (a folder, a pipe, a device), without waiting for a pipe's writer.
std::FILE* openInputFile(const std::string& path);

// Opens a music file for binary reading by its local path, unbuffered (callers read large
// blocks), and sets `size` to the file's size at the moment it was opened. On POSIX systems
// a file URL's path is absolute, but it comes relative from the URL: a relative path is
// looked up from the root, and only when no file is there from the working folder. nullptr
// when neither can be opened, or when the path names no file on a disk (a device, a pipe,
// a folder). Links are followed, as for any file the export names.
std::FILE* openMusicFile(const std::string& localPath, long long& size);

// A seam for tests, which make the program meet a full disk or an interruption at each of
// its file operations in turn. The operations counted are the calls of makeFolder, openFile,
// readWholeFile, createNewFile, createReplacementFile, replaceFile, removeFile, writeFile,
// flushFile and closeFile (and of those that commitReplacementFile makes). After
// planFileFault(fault, n), the n-th of them from then on either fails with errno ENOSPC (`fail`),
// or ends the process with kStoppedByFault before it is made (`stop`), leaving the disk as a kill
// would: what earlier operations handed to the system, without what stdio buffers still held. A
// write planned to fail or stop writes half of its bytes first, handed to the system when it stops,
// as a disk that fills up or a kill during the write leaves them. n = 0 plans nothing; the count
// starts again at every call.
enum class FileFault { fail, stop };
inline constexpr int kStoppedByFault = 86;
void planFileFault(FileFault fault, long long operation);

// The operations counted since the last planFileFault call.
long long fileOperationsCounted();

// Counts one operation at its start: false when it is the one planned to fail.
bool fileOperationAllowed();

}  // namespace platform
