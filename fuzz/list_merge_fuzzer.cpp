// A row merged by the list store into a list file that lies on disk in any state (blank
// lines, lone CRs, zero bytes, lengths that do not fit): the new row is there, every other
// row that was there stays unless its key equals the new one, an error list takes the new
// row at its end and keeps all others, and the store leaves nothing but the list behind.
//
// Input: one byte of choices, then the new row up to the first line feed or Ctrl-Z, then
// the list file. Bit 3 of the choices selects an error list, otherwise bit 1 a track list
// and neither an index; bit 2 says whether the list file exists beforehand.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "output/list_merge.h"
#include "output/list_store.h"
#include "platform/files.h"
#include "platform/text_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const ListKind kind = (data[0] & 8) != 0   ? ListKind::errors
                          : (data[0] & 2) != 0 ? ListKind::tracks
                                               : ListKind::index;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    // A row is made of field values read from single lines, and names that hold a Ctrl-Z
    // (which ends a list for whoever reads it back) are refused, so it holds neither; and the
    // program never writes an empty row.
    const std::size_t lineEnd = std::min(rest.find_first_of("\n\x1A"), rest.size());
    const std::string row = lineEnd > 0 ? rest.substr(0, lineEnd) : "0,0,,";
    const std::string stored = rest.substr(std::min(lineEnd + 1, rest.size()));
    fuzzing::startInScratchFolder();
    platform::makeFolder("album");
    std::vector<std::string> expected;
    if ((data[0] & 4) != 0) {
        fuzzing::writeWholeFile("album/list.csv", stored);
        for (const std::string& prior :
             listRows(platform::fromStoredText(stored.data(), stored.size()))) {
            if (kind == ListKind::errors || compareKeys(rowKey(prior), rowKey(row)) != 0) {
                expected.push_back(prior);
            }
        }
    }
    expected.push_back(row);
    fuzzing::check(mergeListRow("album/list.csv", row + "\n", rowKey(row), kind) && finishLists(),
                   "the store refused the row");
    const std::string merged = fuzzing::readWholeFile("album/list.csv");
    std::vector<std::string> rows =
        listRows(platform::fromStoredText(merged.data(), merged.size()));
    fuzzing::check(kind != ListKind::errors || rows == expected,
                   "an error list did not keep its rows and take the new one last");
    std::sort(rows.begin(), rows.end());
    std::sort(expected.begin(), expected.end());
    fuzzing::check(rows == expected, "the merge lost or added a row, or kept a replaced one");
    fuzzing::check(fuzzing::filesBelow() == std::vector<std::string>{"album/list.csv"},
                   "the store left another file");
    fuzzing::checkNothingOutside();
    return 0;
}
