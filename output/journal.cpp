#include "output/journal.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "output/folder_names.h"
#include "platform/files.h"

namespace {

struct JournalFile {
    std::FILE* file = nullptr;
    bool broken = false;
    bool everBroken = false;
};

JournalFile journal;

// FNV-1a: cheap, and any torn byte changes it.
std::uint32_t checksum(const char* bytes, std::size_t from, std::size_t to,
                       std::uint32_t hash = 2166136261u) {
    for (std::size_t i = from; i < to; ++i) {
        hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 16777619u;
    }
    return hash;
}

std::size_t textsOf(char mode) {
    switch (mode) {
        case 'F':
            return 4;
        case 'N':
        case 'E':
            return 3;
        case 'P':
            return 2;
        case 'D':
        case 'W':
            return 1;
        default:
            return 0;
    }
}

// Puts the record of `count` texts into `out`, which keeps its capacity from record to
// record: every merge of a run writes one.
void recordBytesInto(std::string& out, char mode, char kind, const std::string_view* texts,
                     std::size_t count) {
    std::size_t bodySize = 0;
    out.assign({mode, kind});
    for (std::size_t i = 0; i < count; ++i) {
        char digits[24];
        char* end = digits + sizeof digits;
        char* at = end;
        std::size_t size = texts[i].size();
        do {
            *--at = static_cast<char>('0' + size % 10);
            size /= 10;
        } while (size != 0);
        out += ',';
        out.append(at, static_cast<std::size_t>(end - at));
        bodySize += texts[i].size();
    }
    out += ',';
    std::uint32_t sum = checksum(out.data(), 0, out.size());
    const std::size_t sumAt = out.size();
    out.resize(sumAt + 9 + bodySize);
    char* body = &out[sumAt + 9];
    for (std::size_t i = 0; i < count; ++i) {
        sum = checksum(texts[i].data(), 0, texts[i].size(), sum);
        std::memcpy(body, texts[i].data(), texts[i].size());
        body += texts[i].size();
    }
    static const char kHexDigits[] = "0123456789abcdef";
    for (int digit = 7; digit >= 0; --digit, sum >>= 4) {
        out[sumAt + static_cast<std::size_t>(digit)] = kHexDigits[sum & 0xF];
    }
    out[sumAt + 8] = '\n';
}

}  // namespace

void breakJournal() {
    journal.broken = true;
    journal.everBroken = true;
}

std::string journalRecordBytes(char mode, char kind, const std::string* texts, std::size_t count) {
    std::string_view views[4];
    for (std::size_t i = 0; i < count && i < 4; ++i) {
        views[i] = texts[i];
    }
    std::string bytes;
    recordBytesInto(bytes, mode, kind, views, std::min<std::size_t>(count, 4));
    return bytes;
}

bool readJournalRecord(const std::string& bytes, std::size_t at, JournalRecord& record) {
    const std::size_t lineEnd = bytes.find('\n', at);
    if (lineEnd == std::string::npos || lineEnd - at < 2) {
        return false;
    }
    record.mode = bytes[at];
    record.kind = bytes[at + 1];
    const std::size_t count = textsOf(record.mode);
    std::size_t field = at + 2;
    std::size_t left = bytes.size() - lineEnd - 1;
    std::size_t sizes[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t comma = bytes.find(',', field + 1);
        if (bytes[field] != ',' || comma >= lineEnd || comma == field + 1 || comma - field > 20) {
            return false;
        }
        const std::string digits = bytes.substr(field + 1, comma - field - 1);
        if (digits.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        sizes[i] = std::strtoull(digits.c_str(), nullptr, 10);
        if (sizes[i] > left) {
            return false;
        }
        left -= sizes[i];
        field = comma;
    }
    const std::size_t sumStart = field + 1;
    if (count == 0 || bytes[field] != ',' || lineEnd - sumStart != 8) {
        return false;
    }
    const std::size_t bodyStart = lineEnd + 1;
    const std::size_t bodyEnd = bytes.size() - left;
    const std::uint32_t expected =
        checksum(bytes.data(), bodyStart, bodyEnd, checksum(bytes.data(), at, sumStart));
    const std::string sum = bytes.substr(sumStart, 8);
    if (sum.find_first_not_of("0123456789abcdef") != std::string::npos ||
        std::strtoul(sum.c_str(), nullptr, 16) != expected) {
        return false;
    }
    std::size_t textAt = bodyStart;
    for (std::size_t i = 0; i < 4; ++i) {
        record.texts[i] = i < count ? bytes.substr(textAt, sizes[i]) : std::string();
        textAt += i < count ? sizes[i] : 0;
    }
    record.end = bodyEnd;
    return true;
}

bool isJournalListPath(const std::string& path) {
    if (path == "list.csv" || path == "errlist.csv") {
        return true;
    }
    const std::string root = "Music/";
    const std::string name = "/list.csv";
    if (path.size() <= root.size() + name.size() || path.compare(0, root.size(), root) != 0 ||
        path.compare(path.size() - name.size(), name.size(), name) != 0) {
        return false;
    }
    std::string folders = path.substr(root.size(), path.size() - root.size() - name.size());
    std::size_t slash = folders.find('/');
    if (slash != std::string::npos && folders.find('/', slash + 1) != std::string::npos) {
        return false;
    }
    return isSafePathLevel(folders.substr(0, slash)) &&
           (slash == std::string::npos || isSafePathLevel(folders.substr(slash + 1)));
}

bool isJournalAlbumPath(const std::string& path) {
    return isJournalListPath(path + "/list.csv") && std::count(path.begin(), path.end(), '/') == 2;
}

bool openJournal() {
    if (journal.broken) {
        return false;
    }
    if (!journal.file) {
        journal.file = platform::openFile(kJournalName, "wb");
    }
    if (!journal.file) {
        breakJournal();
        return false;
    }
    return true;
}

bool appendJournal(const std::string& record) {
    if (!openJournal()) {
        return false;
    }
    if (!platform::writeFile(journal.file, record.data(), record.size())) {
        breakJournal();
        return false;
    }
    return true;
}

bool appendJournalRecord(char mode, char kind, const std::string_view* texts, std::size_t count) {
    static std::string record;
    recordBytesInto(record, mode, kind, texts, count);
    return appendJournal(record);
}

bool flushJournal() {
    if (journal.broken || !journal.file || !platform::flushFile(journal.file)) {
        breakJournal();
        return false;
    }
    return true;
}

void closeJournal() {
    if (journal.file) {
        platform::closeFile(journal.file);
        journal.file = nullptr;
    }
}

void restartJournal() {
    closeJournal();
    journal.file = platform::openFile(kJournalName, "wb");
    journal.broken = journal.file == nullptr;
    journal.everBroken = journal.everBroken || journal.broken;
}

void replaceJournal(const std::string& bytes) {
    closeJournal();
    std::string next;
    std::FILE* file = platform::createReplacementFile(kJournalName, next);
    if (!file ||
        !platform::commitReplacementFile(file, next, kJournalName,
                                         platform::writeFile(file, bytes.data(), bytes.size()))) {
        breakJournal();
        return;
    }
    journal.file = platform::openFile(kJournalName, "ab");
    if (!journal.file) {
        breakJournal();
    }
}

bool readJournal(std::string& bytes) {
    std::FILE* file = platform::openFile(kJournalName, "rb");
    if (!file) {
        return false;
    }
    char block[1 << 16];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.append(block, got);
    }
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

void removeJournal() {
    // A journal left behind would have its rows merged again by the next run, and the error
    // list's appended twice; emptied, it replays nothing.
    if (!platform::removeFile(kJournalName) && platform::pathExists(kJournalName)) {
        restartJournal();
        closeJournal();
    }
}

bool journalBroken() {
    return journal.broken;
}

bool journalEverBroken() {
    return journal.everBroken;
}

void resetJournal() {
    closeJournal();
    journal = JournalFile();
}
