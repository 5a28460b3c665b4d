// The one check of the row format of list files, shared by the tests and the fuzz targets.
// It needs nothing but the standard library, so that both can include it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace testing_support {

// Checks the bytes of a whole list file: every line ends in CR LF (no lone LF) and is not
// blank, and every row is "N,M,", N bytes of key, ",", M bytes of shown text and then the
// end of the line (index rows: the root and artist lists) or "," and twelve more columns
// (track rows: album lists and the error list; values may hold commas, so at least twelve).
// Returns "" when all rows are well formed, else what is wrong and the row.
inline std::string listFormatFault(const std::string& bytes, bool trackRows) {
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string::npos || end == start || bytes[end - 1] != '\r' ||
            end - 1 == start) {
            return "a line not ended by CR LF, or blank: " + bytes.substr(start, end - start);
        }
        const std::string row = bytes.substr(start, end - 1 - start);
        start = end + 1;
        std::size_t at = 0;
        std::size_t lengths[2] = {0, 0};
        bool fine = true;
        for (std::size_t& length : lengths) {
            const std::size_t digits = row.find_first_not_of("0123456789", at);
            fine = fine && digits != at && digits != std::string::npos && row[digits] == ',' &&
                   digits - at < 10;
            length = fine ? std::stoul(row.substr(at, digits - at)) : 0;
            at = digits + 1;
        }
        at += lengths[0];
        fine = fine && at < row.size() && row[at] == ',';
        at += 1 + lengths[1];
        const std::size_t commas =
            at < row.size() ? std::count(row.begin() + at, row.end(), ',') : 0;
        if (!fine ||
            (trackRows ? at >= row.size() || row[at] != ',' || commas < 12 : at != row.size())) {
            return "a row not in the list format: " + row;
        }
    }
    return "";
}

}  // namespace testing_support
