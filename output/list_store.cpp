#include "output/list_store.h"

#include <cstdio>
#include <map>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "library/track_record.h"
#include "output/folder_names.h"
#include "output/list_merge.h"
#include "platform/files.h"
#include "platform/text_file.h"

namespace {

struct KeyLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return compareKeys(a, b) < 0;
    }
};

struct StoredList {
    std::string path;
    ListKind kind = ListKind::index;
    // A list in key order (every list the program writes) is a multimap from key to row:
    // a row goes in at the upper bound of its key, which is where the merge rule puts it,
    // and equal keys sit together. A list someone left out of order keeps its text and is
    // merged the slow way, row by row.
    bool inKeyOrder = true;
    std::multimap<std::string, std::string, KeyLess> rows;  // rows end in "\n"
    std::string text;                                       // when not in key order
    std::size_t rowCount = 0;
    bool changed = false;
    // Track rows merged since the list was last written: they go to the error list if the
    // list cannot be written.
    std::vector<std::pair<std::string, std::string>> unsaved;
    // The list's text as the file holds it, when the file holds it exactly as it would be
    // written: a list whose rows come out the same is not written again.
    std::string onDisk;
    bool onDiskKnown = false;
};

struct Store {
    std::vector<std::unique_ptr<StoredList>> lists;
    std::unordered_map<std::string, StoredList*> byPath;
    // The same file can be reached by paths that differ (letter case on Windows): lists are
    // also known by their folder's identity, so two paths never hold two copies of a file.
    std::unordered_map<std::string, StoredList*> byIdentity;
    std::size_t rowsHeld = 0;
    std::size_t mergesSinceCheckpoint = 0;
    std::FILE* journal = nullptr;
    bool replaying = false;
    // Folders this run made whose list nobody asked for yet: that list cannot exist, so it
    // is not looked for on disk.
    std::unordered_set<std::string> newFolders;
    // Lists of such folders, not yet known by their folder's identity. Their identities
    // are only looked up when a path that is not known asks for a list.
    std::vector<StoredList*> unidentified;
};

Store store;

std::size_t countLines(const std::string& text) {
    std::size_t lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}

std::string identityOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string folderId = platform::folderIdentity(folder);
    if (folderId.empty()) {
        return {};
    }
    return folderId + '/' + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// Reads a list into memory. Null when it cannot take rows: it exists but cannot be read, or
// its folder does not exist.
std::unique_ptr<StoredList> loadList(const std::string& path, ListKind kind) {
    std::string content;
    bool asStored = false;
    if (platform::readTextFile(path, content, &asStored) == platform::TextRead::failed) {
        return nullptr;
    }
    auto list = std::make_unique<StoredList>();
    list->path = path;
    list->kind = kind;
    std::vector<std::string> rows = listRows(content);
    list->rowCount = rows.size();
    const std::string* previousKey = nullptr;
    for (std::string& row : rows) {
        std::string key = rowKey(row);
        if (previousKey && compareKeys(*previousKey, key) > 0) {
            list->inKeyOrder = false;
            break;
        }
        row += '\n';
        previousKey =
            &list->rows.emplace_hint(list->rows.end(), std::move(key), std::move(row))->first;
    }
    if (!list->inKeyOrder) {
        list->rows.clear();
        for (const std::string& row : listRows(content)) {
            list->text += row;
            list->text += '\n';
        }
    }
    list->onDiskKnown = asStored;
    if (asStored) {
        list->onDisk = std::move(content);
    }
    return list;
}

StoredList* findList(const std::string& path, ListKind kind) {
    auto known = store.byPath.find(path);
    if (known != store.byPath.end()) {
        return known->second;
    }
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && store.newFolders.erase(path.substr(0, slash)) > 0) {
        auto made = std::make_unique<StoredList>();
        made->path = path;
        made->kind = kind;
        StoredList* list = made.get();
        store.lists.push_back(std::move(made));
        store.byPath.emplace(path, list);
        store.unidentified.push_back(list);
        return list;
    }
    // This path may name a list already held under another: every held list must be known
    // by its identity first. Folders made but not asked for are looked for on disk from
    // now on, like any other.
    store.newFolders.clear();
    for (StoredList* list : store.unidentified) {
        std::string identity = identityOf(list->path);
        if (!identity.empty()) {
            store.byIdentity.emplace(std::move(identity), list);
        }
    }
    store.unidentified.clear();
    std::string identity = identityOf(path);
    if (identity.empty()) {
        return nullptr;
    }
    auto same = store.byIdentity.find(identity);
    if (same != store.byIdentity.end()) {
        store.byPath.emplace(path, same->second);
        return same->second;
    }
    std::unique_ptr<StoredList> loaded = loadList(path, kind);
    if (!loaded) {
        return nullptr;
    }
    StoredList* list = loaded.get();
    store.lists.push_back(std::move(loaded));
    store.byPath.emplace(path, list);
    store.byIdentity.emplace(identity, list);
    store.rowsHeld += list->rowCount;
    return list;
}

void applyMerge(StoredList& list, const std::string& newRow, const std::string& newKey,
                bool errorListMode) {
    std::size_t before = list.rowCount;
    if (list.inKeyOrder) {
        if (!errorListMode) {
            auto equal = list.rows.equal_range(newKey);
            for (auto it = equal.first; it != equal.second;) {
                it = list.rows.erase(it);
                --list.rowCount;
            }
        }
        list.rows.emplace(newKey, newRow);
        ++list.rowCount;
    } else {
        list.text = mergeRows(list.text, newRow, newKey, errorListMode);
        list.rowCount = countLines(list.text);
    }
    store.rowsHeld = store.rowsHeld + list.rowCount - before;
    list.changed = true;
    if (list.kind == ListKind::tracks) {
        list.unsaved.emplace_back(newRow, newKey);
    }
}

// Journal records: a header line "<mode><kind>,<path bytes>,<key bytes>,<row bytes>" (mode
// N or E for the error-list mode, or F for an index row that waits for its folder; kind I,
// T or R for index, track or error-list rows), then the texts as they are, so any byte may
// stand in them. An F record has a fourth length and text: the folder's path.
void journalRecord(char mode, ListKind kind, const std::string& path, const std::string& key,
                   const std::string& row, const std::string* folder) {
    if (!store.journal) {
        store.journal = platform::openFile(kJournalName, "wb");
        if (!store.journal) {
            return;
        }
    }
    std::string record;
    record += mode;
    record += kind == ListKind::tracks ? 'T' : kind == ListKind::errors ? 'R' : 'I';
    record += ',' + std::to_string(path.size()) + ',' + std::to_string(key.size()) + ',' +
              std::to_string(row.size());
    if (folder) {
        record += ',' + std::to_string(folder->size());
    }
    record += '\n';
    record += path;
    record += key;
    record += row;
    if (folder) {
        record += *folder;
    }
    std::fwrite(record.data(), 1, record.size(), store.journal);
}

bool holdsKey(const StoredList& list, const std::string& key) {
    if (list.inKeyOrder) {
        return list.rows.count(key) > 0;
    }
    for (const std::string& row : listRows(list.text)) {
        if (compareKeys(rowKey(row), key) == 0) {
            return true;
        }
    }
    return false;
}

std::string listText(const StoredList& list) {
    if (!list.inKeyOrder) {
        return list.text;
    }
    std::string text;
    for (const auto& row : list.rows) {
        text += row.second;
    }
    return text;
}

// Writes one list; on failure, hands back the track rows it could not keep.
bool writeList(StoredList& list, std::vector<std::pair<std::string, std::string>>& homeless) {
    if (!list.changed) {
        return true;
    }
    std::string text = listText(list);
    if (list.onDiskKnown && text == list.onDisk) {
        list.changed = false;
        list.unsaved.clear();
        return true;
    }
    if (platform::replaceTextFile(list.path, text)) {
        list.changed = false;
        list.unsaved.clear();
        return true;
    }
    homeless.insert(homeless.end(), list.unsaved.begin(), list.unsaved.end());
    list.unsaved.clear();
    list.changed = false;
    return false;
}

void forgetLists() {
    store.lists.clear();
    store.byPath.clear();
    store.byIdentity.clear();
    store.unidentified.clear();
    store.rowsHeld = 0;
    store.mergesSinceCheckpoint = 0;
}

void writeAllLists() {
    std::vector<std::pair<std::string, std::string>> homeless;
    for (auto& list : store.lists) {
        writeList(*list, homeless);
    }
    if (!homeless.empty()) {
        bool savedMode = trackRecord.errorListMode;
        trackRecord.errorListMode = true;
        for (const auto& row : homeless) {
            mergeListRow("errlist.csv", row.first, row.second, ListKind::errors);
        }
        trackRecord.errorListMode = savedMode;
        std::vector<std::pair<std::string, std::string>> lost;
        for (auto& list : store.lists) {
            writeList(*list, lost);
        }
    }
    forgetLists();
}

void closeJournal() {
    if (store.journal) {
        std::fclose(store.journal);
        store.journal = nullptr;
    }
}

// True for the path of a list this program writes: "list.csv" or "errlist.csv" in the
// working folder, or "list.csv" one or two safe levels below "Music". A journal is only
// ever written by the program, but one that says otherwise must not lead a run to write
// anywhere else.
bool isListPath(const std::string& path) {
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

// Reads the journal's records and merges them again. A record cut short by the end of the
// file (the run was stopped while writing it) and anything after it are passed over.
void replayJournal(const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        std::size_t lineEnd = bytes.find('\n', at);
        if (lineEnd == std::string::npos || lineEnd - at < 3) {
            return;
        }
        std::string header = bytes.substr(at, lineEnd - at);
        char mode = header[0];
        char kind = header[1];
        unsigned long long sizes[4] = {0, 0, 0, 0};
        int fields = std::sscanf(header.c_str() + 2, ",%llu,%llu,%llu,%llu", &sizes[0], &sizes[1],
                                 &sizes[2], &sizes[3]);
        if (fields != (mode == 'F' ? 4 : 3)) {
            return;
        }
        std::size_t body = lineEnd + 1;
        unsigned long long left = bytes.size() - body;
        std::string texts[4];
        for (int i = 0; i < fields; ++i) {
            if (sizes[i] > left) {
                return;
            }
            texts[i] = bytes.substr(bytes.size() - left, sizes[i]);
            left -= sizes[i];
        }
        at = bytes.size() - left;
        const std::string& path = texts[0];
        const std::string& key = texts[1];
        const std::string& row = texts[2];
        if (!isListPath(path)) {
            continue;
        }
        ListKind listKind = kind == 'T'   ? ListKind::tracks
                            : kind == 'R' ? ListKind::errors
                                          : ListKind::index;
        if (mode == 'F') {
            StoredList* list = findList(path, listKind);
            if (list && !platform::folderIdentity(texts[3]).empty() && !holdsKey(*list, key)) {
                trackRecord.errorListMode = false;
                applyMerge(*list, row, key, false);
            }
            continue;
        }
        trackRecord.errorListMode = mode == 'E';
        mergeListRow(path, row, key, listKind);
    }
}

}  // namespace

bool mergeListRow(const std::string& listPath, const std::string& newRow, const std::string& newKey,
                  ListKind kind) {
    StoredList* list = findList(listPath, kind);
    if (!list) {
        return false;
    }
    bool errorListMode = trackRecord.errorListMode;
    if (!store.replaying) {
        journalRecord(errorListMode ? 'E' : 'N', kind, listPath, newKey, newRow, nullptr);
    }
    applyMerge(*list, newRow, newKey, errorListMode);
    ++store.mergesSinceCheckpoint;
    return true;
}

void journalIndexRow(const std::string& listPath, const std::string& row, const std::string& key,
                     const std::string& folderPath) {
    journalRecord('F', ListKind::index, listPath, key, row, &folderPath);
    // The folder may exist a moment from now: its row must be on disk before.
    if (store.journal) {
        std::fflush(store.journal);
    }
}

void recoverLists() {
    std::FILE* file = platform::openFile(kJournalName, "rb");
    if (!file) {
        return;
    }
    std::string bytes;
    char block[1 << 16];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.append(block, got);
    }
    std::fclose(file);
    store.replaying = true;
    replayJournal(bytes);
    store.replaying = false;
    trackRecord.errorListMode = false;
    writeAllLists();
    platform::removeFile(kJournalName);
}

void noteFolderMade(const std::string& folderPath) {
    store.newFolders.insert(folderPath);
}

void checkpointListsIfDue() {
    if (store.mergesSinceCheckpoint < kMinCheckpointMerges ||
        store.mergesSinceCheckpoint < store.rowsHeld / 2) {
        return;
    }
    writeAllLists();
    // Everything the journal held is in the lists now: start it afresh.
    closeJournal();
    store.journal = platform::openFile(kJournalName, "wb");
}

void finishLists() {
    writeAllLists();
    closeJournal();
    platform::removeFile(kJournalName);
}
