// The sorted merge of rows into a list file, and the list store, which must write exactly
// what merging row by row into the file would have written (an error list: each row added
// at the end).
//
// Input: one byte of choices, then lines. Bit 0 of the choice byte selects error-list mode,
// bits 1 and 3 the kind of list (index, tracks or errors), bit 2 whether the list file
// exists beforehand, and bits 4 to 5 how many of the lines (one to four) are new rows; the
// remaining bytes are the list file as it lies on disk.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "output/list_merge.h"
#include "output/list_store.h"
#include "platform/files.h"
#include "platform/text_file.h"

namespace {

using fuzzing::check;

const char kListFolder[] = "album";
const char kListPath[] = "album/list.csv";

// Checks one merge against its promise: the prior rows that stay keep their order, the new
// row comes once, before the first prior row whose key sorts after it, and nothing else
// comes or goes.
void checkMerge(const std::string& content, const std::string& newLine, const std::string& newKey,
                bool errorListMode, const std::string& merged) {
    check(!merged.empty() && merged.back() == '\n', "a merged list does not end in a line end");
    check(merged.find("\n\n") == std::string::npos && merged[0] != '\n',
          "a merged list holds a blank line");
    const std::vector<std::string> prior = listRows(content);
    const std::vector<std::string> result = listRows(merged);

    std::vector<std::string> expected;
    bool inserted = false;
    for (const std::string& line : prior) {
        const int order = compareKeys(rowKey(line), newKey);
        if (order > 0 && !inserted) {
            expected.push_back(newLine);
            inserted = true;
        }
        if (order != 0 || errorListMode) {
            expected.push_back(line);
        }
    }
    if (!inserted) {
        expected.push_back(newLine);
    }
    check(result == expected, "the merge lost, moved or added a row");
}

// The list text `content` with blank lines dropped and `newLine` added at its end.
std::string appended(const std::string& content, const std::string& newLine) {
    std::string text;
    for (const std::string& line : listRows(content)) {
        text += line + "\n";
    }
    return text + newLine + "\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    fuzzing::startInScratchFolder();
    const unsigned choices = data[0];
    const bool errorListMode = (choices & 1) != 0;
    const ListKind kind = (choices & 8) != 0   ? ListKind::errors
                          : (choices & 2) != 0 ? ListKind::tracks
                                               : ListKind::index;
    const bool fileExists = (choices & 4) != 0;
    const std::size_t newRowCount = 1 + ((choices >> 4) & 3);

    const std::string rest = fuzzing::bytesOf(data + 1, size - 1);
    std::vector<std::string> newLines;
    std::size_t at = 0;
    while (newLines.size() < newRowCount) {
        std::size_t end = rest.find('\n', at);
        if (end == std::string::npos) {
            end = rest.size();
        }
        // Rows are made of field values read from single lines, so they hold no line feed;
        // and the program never writes an empty row.
        newLines.push_back(end > at ? rest.substr(at, end - at) : std::string("0,0,,"));
        at = end < rest.size() ? end + 1 : rest.size();
    }
    const std::string stored = rest.substr(at);

    platform::makeFolder(kListFolder);
    std::string expected;
    if (fileExists) {
        fuzzing::writeWholeFile(kListPath, stored);
        expected = platform::fromStoredText(stored.data(), stored.size());
    }
    for (const std::string& line : newLines) {
        const std::string key = rowKey(line);
        const std::string merged = mergeRows(expected, line + "\n", key, errorListMode);
        checkMerge(expected, line, key, errorListMode, merged);
        expected = kind == ListKind::errors ? appended(expected, line)
                                            : mergeRows(expected, line + "\n", key, false);
        check(mergeListRow(kListPath, line + "\n", key, kind), "the store refused a row");
    }
    finishLists();

    check(fuzzing::readWholeFile(kListPath) == platform::toStoredText(expected),
          "the stored list differs from merging row by row");
    check(!fuzzing::pathExists(kJournalName), "the journal was left behind");
    check(!fuzzing::pathExists("errlist.csv"), "a written list's rows went to the error list");
    check(fuzzing::filesBelow().size() == 1, "the store left another file");
    fuzzing::checkNothingOutside();
    return 0;
}
