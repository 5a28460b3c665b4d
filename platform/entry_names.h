// The names of entries in folders of the output tree as Windows' file systems resolve them:
// a name that equals an existing entry's name without regard to letter case names that
// entry. Windows does this itself; on other systems the program does it, so that every
// build makes the same tree.
#pragma once

#include <string>

namespace platform {

// Looks for the entry `name` (code page 932) of the folder `folder` as Windows would: an
// existing entry whose name equals `name` without regard to letter case (see
// encoding/letter_case.h) is that entry. Sets `onDisk` to the name under which to use it:
// the entry's own name when there is one, else `name`. Of entries that all differ from
// `name` only in letter case (left by something other than Windows), the one spelt
// exactly like it wins, else the first in byte order. True when the entry is known to
// exist. On Windows, whose file system resolves names itself, `onDisk` is `name` and the
// answer is false. Elsewhere each folder is read once, at its first look-up (a folder that
// cannot be read counts as empty), and the folders made since, told through folderMade,
// are known without reading. Never fails.
bool findEntry(const std::string& folder, const std::string& name, std::string& onDisk);

// Tells the look-ups that the folder `name` was just created, empty, in `folder`.
void folderMade(const std::string& folder, const std::string& name);

// Forgets every folder read, for a new run in the same process.
void forgetEntryNames();

}  // namespace platform
