// Text files (the lists and the error notes) are stored as Windows text mode stores them,
// on every build: each line end is CR LF on disk and reads back as LF, and a Ctrl-Z byte
// ends the text. The lists are therefore byte-identical between builds.
#pragma once

#include <string>

namespace platform {

enum class TextRead { ok, missing, failed };

// Reads a whole text file into `content` with its line ends as LF. `missing` when there is
// no such file; `failed` when it exists but cannot be read in full, or is a link, a pipe or
// anything but a regular file (see files.h; content is then unspecified and the caller must
// leave the file alone). When `asStored` is given, it tells whether the file holds exactly
// what replaceTextFile(path, content) would write (every line end CR LF, no Ctrl-Z), so that
// writing `content` again would change nothing.
TextRead readTextFile(const std::string& path, std::string& content, bool* asStored = nullptr);

// Replaces the file at `path` by `content` (LF line ends, stored as CR LF) in one step:
// the text goes to a new file in the same folder (createReplacementFile), which is then moved
// over `path`.
// On any failure the temporary file is removed, `path` keeps its old content, and the
// result is false.
bool replaceTextFile(const std::string& path, const std::string& content);

// Writes `content` as the file at `path`. A `fresh` file (one of a folder the run has just
// made, where no file of its name is expected) is created under its name at once
// (createNewFile); should something stand there after all, or for any other file, the file
// is replaced as by replaceTextFile. False on failure: an old file keeps its content, and a
// fresh file written in part is removed.
bool writeTextFile(const std::string& path, const std::string& content, bool fresh);

// Appends `line` and a line end to the text file at `path`, creating it when missing.
// False when it could not be opened (a link, a pipe: see files.h) or written.
bool appendTextLine(const std::string& path, const std::string& line);

// The text-mode forms, shared with the export reader's rules.
std::string toStoredText(const std::string& text);               // LF to CR LF
std::string fromStoredText(const char* data, std::size_t size);  // CR LF to LF, Ctrl-Z ends

}  // namespace platform
