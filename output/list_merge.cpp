#include "output/list_merge.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

bool isCBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi of the text before the first ",", saturated instead of overflowing.
long long leadingNumber(std::string_view row, std::size_t end) {
    std::size_t i = 0;
    while (i < end && isCBlank(row[i])) {
        ++i;
    }
    bool negative = false;
    if (i < end && (row[i] == '+' || row[i] == '-')) {
        negative = row[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < end && row[i] >= '0' && row[i] <= '9'; ++i) {
        if (value < INT_MAX) {
            value = value * 10 + (row[i] - '0');
        }
    }
    return negative ? -value : value;
}

unsigned char folded(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + 0x20) : byte;
}

}  // namespace

std::string_view rowKey(std::string_view row) {
    std::size_t firstComma = row.find(',');
    long long length =
        leadingNumber(row, firstComma == std::string_view::npos ? row.size() : firstComma);
    std::size_t rest1 = firstComma == std::string_view::npos ? 0 : firstComma + 1;
    std::size_t secondComma = row.find(',', rest1);
    std::size_t rest2 = secondComma == std::string_view::npos ? rest1 : secondComma + 1;
    std::size_t available = row.size() - rest2;
    if (length < 0 || static_cast<unsigned long long>(length) > available) {
        return row.substr(rest2);
    }
    return row.substr(rest2, static_cast<std::size_t>(length));
}

int compareKeys(std::string_view a, std::string_view b) {
    // The end of a key reads as the zero byte that ends a C string.
    const std::size_t common = std::min(a.size(), b.size());
    std::size_t i = 0;
    // Keys compared on a rerun are mostly equal: bytes that are equal fold equal, so they are
    // passed eight at a time, unless a zero byte among them ends both keys there.
    for (; i + 8 <= common; i += 8) {
        std::uint64_t left;
        std::uint64_t right;
        std::memcpy(&left, a.data() + i, 8);
        std::memcpy(&right, b.data() + i, 8);
        constexpr std::uint64_t kOnes = 0x0101010101010101;
        constexpr std::uint64_t kHighBits = 0x8080808080808080;
        if (left != right || ((left - kOnes) & ~left & kHighBits) != 0) {
            break;
        }
    }
    for (; i < common; ++i) {
        unsigned char l = folded(a[i]);
        unsigned char r = folded(b[i]);
        if (l != r || l == 0) {
            return static_cast<int>(l) - static_cast<int>(r);
        }
    }
    unsigned char l = a.size() > common ? folded(a[common]) : 0;
    unsigned char r = b.size() > common ? folded(b[common]) : 0;
    return static_cast<int>(l) - static_cast<int>(r);
}

std::vector<std::string> listRows(const std::string& content) {
    std::vector<std::string> rows;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        if (end > start) {
            rows.push_back(content.substr(start, end - start));
        }
        start = end + 1;
    }
    return rows;
}

std::string mergeRows(const std::string& content, const std::string& newRow,
                      const std::string& newKey, bool errorListMode) {
    std::string result;
    result.reserve(content.size() + newRow.size() + 1);
    bool inserted = false;
    for (const std::string& line : listRows(content)) {
        int order = compareKeys(rowKey(line), newKey);
        if (order > 0 && !inserted) {
            result += newRow;
            inserted = true;
        }
        if (order != 0 || errorListMode) {
            result += line;
            result += '\n';
        }
    }
    if (!inserted) {
        result += newRow;
    }
    return result;
}
