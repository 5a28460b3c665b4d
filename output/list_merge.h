// The sorted update of a list file: one new row goes in, in key order, replacing the rows
// with an equal key. In error-list mode rows with an equal key stay and the new one
// follows them, so the error list keeps every row in the order the tracks were met.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The key of a row read back from a list: field 1 gives its length N (read like atoi),
// and the key is the first N bytes after the second ",". A row whose N is larger than
// what follows, or negative, has the rest of the line as its key; N of 0 (or no number)
// gives the empty key. The key views `row`.
std::string_view rowKey(std::string_view row);

// The key order: bytes compared up to the first zero byte (or the key's end), capital
// letters A to Z taken as their small letters (Windows' _stricmp in the C locale), a prefix
// first. Negative, zero or positive.
int compareKeys(std::string_view a, std::string_view b);

// The rows of a list text (LF line ends), without their line ends; blank lines are no rows.
std::vector<std::string> listRows(const std::string& content);

// Merges `newRow` (ending in "\n") with key `newKey` into the list text `content` (LF line
// ends) and returns the new text: blank lines are dropped, every line comes back ended by
// "\n", `newRow` stands before the first row whose key sorts after `newKey` (or at the
// end), and, unless `errorListMode`, the rows whose key equals `newKey` are dropped.
std::string mergeRows(const std::string& content, const std::string& newRow,
                      const std::string& newKey, bool errorListMode);
