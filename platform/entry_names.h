// The names of entries in folders of the output tree as Windows' file systems resolve them:
// a name that equals an existing entry's name without regard to letter case names that
// entry. Windows does this itself; on other systems the program does it, so that every
// build makes the same tree.
#pragma once

#include <string>

namespace platform {

// The name by which `name` (code page 932) is to be used in the folder `folder`: the name
// of an existing entry of the folder that Windows would take for `name` (see
// encoding/letter_case.h), or else `name` itself. Of entries that all differ from `name`
// only in letter case (left by something other than Windows), the one spelt exactly like
// it wins, else the first in byte order. On Windows `name` itself, which the file system
// resolves. Elsewhere each folder is read once, at its first look-up (a folder that cannot
// be read counts as empty), and the folders made since, told through folderMade, are
// known without reading. Never fails.
std::string entryName(const std::string& folder, const std::string& name);

// Tells the look-ups that the folder `name` was just created, empty, in `folder`.
void folderMade(const std::string& folder, const std::string& name);

// Forgets every folder read, for a new run in the same process.
void forgetEntryNames();

}  // namespace platform
