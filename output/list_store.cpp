#include "output/list_store.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "output/artwork.h"
#include "output/folder_names.h"
#include "output/journal.h"
#include "output/list_merge.h"
#include "platform/files.h"
#include "platform/text_file.h"

namespace {

struct KeyLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return compareKeys(a, b) < 0;
    }
};

// Where a row of a list's text starts, and its key within that text: keys are found once,
// when the list is read, and compared many times.
struct TextRow {
    std::size_t start = 0;
    std::size_t keyStart = 0;
    std::size_t keyLength = 0;
};

struct StoredList {
    std::string path;
    ListKind kind = ListKind::index;
    // A list in key order (every list the program writes but the error list) is a
    // multimap from key to row: a row goes in at the upper bound of its key, which is where
    // the merge rule puts it, and equal keys sit together. A list someone left out of order
    // keeps its text and is merged the slow way, row by row. The error list keeps its text
    // too: its rows stay in the order their tracks were met, each new one at the end.
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
    // The rows are those read from the file, which holds them exactly as they would be
    // written: the list need not even be put together to know it is unchanged.
    bool rowsAsOnDisk = false;
    // Rows not taken into `rows` yet: they are still only the rows of `onDisk`, which start
    // as `textRows` say (and the last ends where the text ends). A rerun finds most lists so
    // and merges only rows they hold already: those merges are answered from the text, and
    // the rows are put into the map when a merge changes them. Only while `rowsAsOnDisk`:
    // such a list is never written.
    bool rowsInText = false;
    std::vector<TextRow> textRows;
    // The row after those the last merge found: the tracks of an album mostly come in the
    // order of their rows, so the next one looks there first.
    mutable std::size_t nextRow = 0;
    // The rows of `onDisk`, by number, that merges left as they were while the rows were
    // still in the text: unsaved like the rows of `unsaved`, and before them.
    std::vector<std::size_t> unsavedInText;
    // The list of a folder this run made, not written yet: it goes under its own name at
    // once, without a temporary file and a move.
    bool fresh = false;
};

struct Store {
    std::vector<std::unique_ptr<StoredList>> lists;
    std::unordered_map<std::string, StoredList*> byPath;
    // The two lists found last, the last first: most tracks go to the list of the track
    // before, or of the one before it when a track for the error list came between.
    StoredList* lastFound[2] = {};
    // The same file can be reached by paths that differ (letter case on Windows): lists are
    // also known by their folder's identity, so two paths never hold two copies of a file.
    std::unordered_map<std::string, StoredList*> byIdentity;
    std::size_t rowsHeld = 0;
    std::size_t mergesSinceCheckpoint = 0;
    bool replaying = false;
    // Index lists and error lists that could not take a row (they cannot be read): the row
    // waits in the journal for a run that can read them.
    std::set<std::string> refusedLists;
    // Folders this run made whose list nobody asked for yet: that list cannot exist, so it
    // is not looked for on disk.
    std::unordered_set<std::string> newFolders;
    // Lists of such folders, not yet known by their folder's identity. Their identities
    // are only looked up when a path that is not known asks for a list.
    std::vector<StoredList*> unidentified;
    // Lists that the journal being replayed says were being written under their own names:
    // a last row without its line end was cut short by the interruption.
    std::unordered_set<std::string> cutLists;
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

// Row `index` of a list whose rows are still in its text, with its line end.
std::string_view textRow(const StoredList& list, std::size_t index) {
    const std::size_t start = list.textRows[index].start;
    const std::size_t end =
        index + 1 < list.textRows.size() ? list.textRows[index + 1].start : list.onDisk.size();
    return std::string_view(list.onDisk).substr(start, end - start);
}

// The key of row `index` of a list whose rows are still in its text.
std::string_view textRowKey(const StoredList& list, std::size_t index) {
    const TextRow& row = list.textRows[index];
    return std::string_view(list.onDisk).substr(row.keyStart, row.keyLength);
}

std::string_view keyOfRow(std::string_view rowWithEnd) {
    return rowKey(rowWithEnd.substr(0, rowWithEnd.size() - 1));
}

// Puts the rows of `content` (its non-blank lines, which are in key order) into the map,
// each copied once, with a line end.
void takeRows(StoredList& list, const std::string& content) {
    for (std::size_t start = 0, end; start < content.size(); start = end + 1) {
        end = std::min(content.find('\n', start), content.size());
        if (end > start) {
            std::string row;
            row.reserve(end - start + 1);
            row.assign(content, start, end - start);
            std::string key(rowKey(row));
            row += '\n';
            list.rows.emplace_hint(list.rows.end(), std::move(key), std::move(row));
        }
    }
}

// Takes the rows of a list out of its text into the map, before a merge changes them.
void takeRowsFromText(StoredList& list) {
    if (!list.rowsInText) {
        return;
    }
    takeRows(list, list.onDisk);
    std::vector<std::pair<std::string, std::string>> unsaved;
    for (std::size_t index : list.unsavedInText) {
        const std::string_view row = textRow(list, index);
        unsaved.emplace_back(std::string(row), std::string(keyOfRow(row)));
    }
    unsaved.insert(unsaved.end(), std::make_move_iterator(list.unsaved.begin()),
                   std::make_move_iterator(list.unsaved.end()));
    list.unsaved = std::move(unsaved);
    list.rowsInText = false;
    std::vector<TextRow>().swap(list.textRows);
    std::vector<std::size_t>().swap(list.unsavedInText);
}

// Reads a list into memory. Null when it cannot take rows: it exists but cannot be read, or
// its folder does not exist.
std::unique_ptr<StoredList> loadList(const std::string& path, ListKind kind) {
    std::string content;
    bool asStored = false;
    if (platform::readTextFile(path, content, &asStored) == platform::TextRead::failed) {
        return nullptr;
    }
    if (!content.empty() && content.back() != '\n' && store.cutLists.count(path)) {
        // Its rows are all in the journal, the cut one too.
        const std::size_t lastEnd = content.rfind('\n');
        content.erase(lastEnd == std::string::npos ? 0 : lastEnd + 1);
        asStored = false;
    }
    auto list = std::make_unique<StoredList>();
    list->path = path;
    list->kind = kind;
    // The error list keeps the order in which its rows were met.
    list->inKeyOrder = kind != ListKind::errors;
    // The rows are the non-blank lines; one pass finds them and whether they are in key
    // order, without copying any.
    std::string_view previousKey;
    bool blankLines = false;
    for (std::size_t start = 0, end; start < content.size(); start = end + 1) {
        end = std::min(content.find('\n', start), content.size());
        if (end == start) {
            blankLines = true;
            continue;
        }
        ++list->rowCount;
        if (!list->inKeyOrder) {
            continue;
        }
        const std::string_view key = rowKey(std::string_view(content).substr(start, end - start));
        if (list->rowCount > 1 && compareKeys(previousKey, key) > 0) {
            list->inKeyOrder = false;
            continue;
        }
        previousKey = key;
        list->textRows.push_back(
            {start, static_cast<std::size_t>(key.data() - content.data()), key.size()});
    }
    // The error list only grows: once it has changed, it never holds what its file holds, and
    // a copy of that would only take memory.
    const bool keepOnDisk = asStored && kind != ListKind::errors;
    list->onDiskKnown = keepOnDisk;
    list->rowsAsOnDisk =
        asStored && list->inKeyOrder && !blankLines && (content.empty() || content.back() == '\n');
    if (list->rowsAsOnDisk) {
        list->rowsInText = true;
    } else {
        std::vector<TextRow>().swap(list->textRows);
        if (list->inKeyOrder) {
            takeRows(*list, content);
        } else {
            // The text keeps its rows as they are, each ended by a line end, without its blank
            // lines.
            if (!blankLines) {
                if (keepOnDisk) {
                    list->text = content;
                } else {
                    list->text = std::move(content);
                }
            } else {
                list->text.reserve(content.size());
                for (std::size_t start = 0, end; start < content.size(); start = end + 1) {
                    end = std::min(content.find('\n', start), content.size());
                    list->text.append(content, start, end - start);
                    if (end > start) {
                        list->text += '\n';
                    }
                }
            }
            if (!list->text.empty() && list->text.back() != '\n') {
                list->text += '\n';
            }
        }
    }
    if (keepOnDisk) {
        list->onDisk = std::move(content);
    }
    return list;
}

StoredList* findList(const std::string& path, ListKind kind) {
    StoredList** lastFound = store.lastFound;
    if (lastFound[0] && lastFound[0]->path == path) {
        return lastFound[0];
    }
    std::swap(lastFound[0], lastFound[1]);
    if (lastFound[0] && lastFound[0]->path == path) {
        return lastFound[0];
    }
    // Looked up and taken in at once: each look-up in a map of tens of thousands of paths
    // costs a cache miss or two. A path that leads to no list is taken out again.
    const auto [known, newPath] = store.byPath.try_emplace(path, nullptr);
    if (!newPath) {
        lastFound[0] = known->second;
        return known->second;
    }
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && store.newFolders.erase(path.substr(0, slash)) > 0) {
        auto made = std::make_unique<StoredList>();
        made->path = path;
        made->kind = kind;
        made->fresh = true;
        StoredList* list = made.get();
        store.lists.push_back(std::move(made));
        known->second = list;
        store.unidentified.push_back(list);
        lastFound[0] = list;
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
        store.byPath.erase(known);
        return nullptr;
    }
    const auto [same, newIdentity] = store.byIdentity.try_emplace(std::move(identity), nullptr);
    if (!newIdentity) {
        known->second = same->second;
        lastFound[0] = same->second;
        return same->second;
    }
    std::unique_ptr<StoredList> loaded = loadList(path, kind);
    if (!loaded) {
        store.byIdentity.erase(same);
        store.byPath.erase(known);
        return nullptr;
    }
    StoredList* list = loaded.get();
    store.lists.push_back(std::move(loaded));
    known->second = list;
    same->second = list;
    store.rowsHeld += list->rowCount;
    lastFound[0] = list;
    return list;
}

// The error list takes every row at its end, in the order met; any other list keeps its
// rows in key order, a new row replacing those of its key.
void applyMerge(StoredList& list, const std::string& newRow, const std::string& newKey) {
    takeRowsFromText(list);
    std::size_t before = list.rowCount;
    if (list.kind == ListKind::errors) {
        list.text += newRow;
        ++list.rowCount;
    } else if (list.inKeyOrder) {
        auto equal = list.rows.equal_range(newKey);
        for (auto it = equal.first; it != equal.second;) {
            it = list.rows.erase(it);
            --list.rowCount;
        }
        list.rows.emplace(newKey, newRow);
        ++list.rowCount;
    } else {
        list.text = mergeRows(list.text, newRow, newKey, false);
        list.rowCount = countLines(list.text);
    }
    store.rowsHeld = store.rowsHeld + list.rowCount - before;
    list.changed = true;
    list.rowsAsOnDisk = false;
    if (list.kind == ListKind::tracks) {
        list.unsaved.emplace_back(newRow, newKey);
    }
}

// The rows of a list whose rows are still in its text that have the key `key`: from
// `first` up to `last`.
void textRowsOfKey(const StoredList& list, std::string_view key, std::size_t& first,
                   std::size_t& last) {
    const std::size_t count = list.textRows.size();
    const std::size_t next = list.nextRow;
    // The row after the rows of a key starts those of the next key: when that is `key`, the
    // rows of `key` start there.
    if (next < count && compareKeys(textRowKey(list, next), key) == 0) {
        first = next;
    } else {
        std::size_t low = 0;
        std::size_t high = count;
        while (low < high) {
            const std::size_t middle = low + (high - low) / 2;
            if (compareKeys(textRowKey(list, middle), key) < 0) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        first = low;
    }
    last = first;
    while (last < count && compareKeys(textRowKey(list, last), key) == 0) {
        ++last;
    }
    list.nextRow = last;
}

// True when merging `newRow` into `list` would leave its rows as they are: the list is in
// key order and holds exactly that row for its key. `index`: that row's number, when the
// rows are still in the text.
bool changesNothing(const StoredList& list, const std::string& newRow, const std::string& newKey,
                    std::size_t& index) {
    if (list.kind == ListKind::errors || !list.inKeyOrder) {
        return false;
    }
    if (list.rowsInText) {
        std::size_t last;
        textRowsOfKey(list, newKey, index, last);
        return last == index + 1 && textRow(list, index) == newRow;
    }
    auto equal = list.rows.equal_range(newKey);
    return equal.first != equal.second && std::next(equal.first) == equal.second &&
           equal.first->second == newRow;
}

char kindCode(ListKind kind) {
    return kind == ListKind::tracks ? 'T' : kind == ListKind::errors ? 'R' : 'I';
}

// Journals a merge into a list; an index row waiting for its folder has the folder too.
bool journalRecord(char mode, ListKind kind, const std::string& path, const std::string& key,
                   const std::string& row, const std::string* folder) {
    const std::string_view texts[4] = {path, key, row,
                                       folder ? std::string_view(*folder) : std::string_view()};
    return appendJournalRecord(mode, kindCode(kind), texts, folder ? 4 : 3);
}

bool holdsKey(const StoredList& list, const std::string& key) {
    if (list.rowsInText) {
        std::size_t first;
        std::size_t last;
        textRowsOfKey(list, key, first, last);
        return last > first;
    }
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

// The text of a list in key order.
std::string rowsText(const StoredList& list) {
    std::string text;
    for (const auto& row : list.rows) {
        text += row.second;
    }
    return text;
}

// Writes one list; on failure, hands back the track rows it could not keep. A fresh list
// goes under its own name at once when `freshInPlace`.
bool writeList(StoredList& list, std::vector<std::pair<std::string, std::string>>& homeless,
               bool freshInPlace) {
    if (!list.changed) {
        return true;
    }
    if (list.rowsAsOnDisk) {
        list.changed = false;
        list.unsaved.clear();
        list.unsavedInText.clear();
        return true;
    }
    // A list kept as text is written from its text, without a copy: the error list can hold
    // tens of megabytes.
    std::string rows;
    if (list.inKeyOrder) {
        rows = rowsText(list);
    }
    const std::string& text = list.inKeyOrder ? rows : list.text;
    if (list.onDiskKnown && text == list.onDisk) {
        list.changed = false;
        list.unsaved.clear();
        return true;
    }
    if (platform::writeTextFile(list.path, text, list.fresh && freshInPlace)) {
        list.fresh = false;
        list.changed = false;
        list.unsaved.clear();
        // The file holds the new text now; rather than keep a second copy of it, the list is
        // simply written again the next time it changes.
        list.onDiskKnown = false;
        std::string().swap(list.onDisk);
        return true;
    }
    // The list stays changed: it is tried again at the next checkpoint.
    homeless.insert(homeless.end(), list.unsaved.begin(), list.unsaved.end());
    list.unsaved.clear();
    return false;
}

// Forgets the lists that are on disk. A list that could not be written stays in memory,
// with every row it should hold.
void forgetWrittenLists() {
    std::vector<std::unique_ptr<StoredList>> unwritten;
    for (auto& list : store.lists) {
        if (list->changed) {
            unwritten.push_back(std::move(list));
        }
    }
    store.lists = std::move(unwritten);
    store.lastFound[0] = nullptr;
    store.lastFound[1] = nullptr;
    store.byPath.clear();
    store.byIdentity.clear();
    store.unidentified.clear();
    store.rowsHeld = 0;
    store.mergesSinceCheckpoint = 0;
    for (const auto& list : store.lists) {
        store.byPath.emplace(list->path, list.get());
        std::string identity = identityOf(list->path);
        if (!identity.empty()) {
            store.byIdentity.emplace(identity, list.get());
        }
        store.rowsHeld += list->rowCount;
    }
}

// A fresh list written under its own name and cut short by an interruption would keep a
// cut row: the journal says first which lists are written so (W), and a replay reads them
// without a last row that lacks its line end. The rows of a fresh list are all in the
// journal, since its folder was made after the journal was last emptied. True when the
// journal took the records, so that fresh lists may be written so; false when it is broken.
bool journalFreshLists() {
    bool any = false;
    for (const auto& list : store.lists) {
        if (list->fresh && list->changed && !list->rowsAsOnDisk) {
            const std::string_view path = list->path;
            if (!appendJournalRecord('W', kindCode(list->kind), &path, 1)) {
                return false;
            }
            any = true;
        }
    }
    return !any || flushJournal();
}

// Writes every changed list; true when all of them are on disk now, and no index list
// refused a row.
bool writeAllLists() {
    std::vector<std::pair<std::string, std::string>> homeless;
    const bool freshInPlace = journalFreshLists();
    for (auto& list : store.lists) {
        writeList(*list, homeless, freshInPlace);
    }
    if (!homeless.empty()) {
        std::vector<bool> failed;
        for (const auto& list : store.lists) {
            failed.push_back(list->changed);
        }
        for (const auto& row : homeless) {
            mergeListRow("errlist.csv", row.first, row.second, ListKind::errors);
        }
        // The error list, unless it failed a moment ago: a list that cannot be written now
        // is tried again at the next checkpoint, not at once.
        std::vector<std::pair<std::string, std::string>> lost;
        for (std::size_t i = 0; i < store.lists.size(); ++i) {
            if (i >= failed.size() || !failed[i]) {
                writeList(*store.lists[i], lost, false);
            }
        }
    }
    bool allWritten = store.refusedLists.empty();
    for (const auto& list : store.lists) {
        allWritten = allWritten && !list->changed;
    }
    // Written lists stay in memory, so that later rows need not read them back, and the next
    // checkpoint comes only after as many merges as half the rows held: the writing stays in
    // proportion to the merging. Past kMaxRowsHeld rows they are let go, to bound the memory.
    if (store.rowsHeld > kMaxRowsHeld) {
        forgetWrittenLists();
    }
    store.mergesSinceCheckpoint = 0;
    return allWritten;
}

// Merges the journal's records again, and gathers the album folders whose pictures were
// journaled without their end, with their music files, in the order met.
void replayJournal(const std::string& bytes,
                   std::vector<std::pair<std::string, std::string>>& pictures) {
    JournalRecord record;
    for (std::size_t at = 0; readJournalRecord(bytes, at, record); at = record.end) {
        const std::string& path = record.texts[0];
        if (record.mode == 'W') {
            continue;  // read before the replay began
        }
        if (record.mode == 'P' || record.mode == 'D') {
            for (auto it = pictures.begin(); it != pictures.end();) {
                it = it->first == path ? pictures.erase(it) : it + 1;
            }
            if (record.mode == 'P' && isJournalAlbumPath(path)) {
                pictures.emplace_back(path, record.texts[1]);
            }
            continue;
        }
        const std::string& key = record.texts[1];
        const std::string& row = record.texts[2];
        // Only the program's own lists, and only whole rows: one line, ended by its line end.
        if (!isJournalListPath(path) || row.empty() || row.find('\n') != row.size() - 1) {
            continue;
        }
        ListKind listKind = record.kind == 'T'   ? ListKind::tracks
                            : record.kind == 'R' ? ListKind::errors
                                                 : ListKind::index;
        if (record.mode == 'F') {
            StoredList* list = findList(path, listKind);
            bool folderMade = !platform::folderIdentity(record.texts[3]).empty();
            if (!list && folderMade) {
                store.refusedLists.insert(path);
            } else if (list && folderMade && !holdsKey(*list, key)) {
                applyMerge(*list, row, key);
            }
            continue;
        }
        mergeListRow(path, row, key, listKind);
    }
}

// True when the list at `path` is held with rows that are not on disk yet.
bool heldUnwritten(const std::string& path) {
    auto known = store.byPath.find(path);
    if (known != store.byPath.end()) {
        return known->second->changed;
    }
    auto same = store.byIdentity.find(identityOf(path));
    return same != store.byIdentity.end() && same->second->changed;
}

// The lists have been written, but not all of them: the journal is cut down to the records
// of the lists not yet written and of the lists that refused rows (the others are on
// disk), and the run goes on adding to it. The new journal takes the old one's place in one
// step, so that an interruption leaves one of the two whole; a journal that cannot be read
// is kept whole.
void keepJournalOfUnwrittenLists() {
    closeJournal();
    std::string bytes;
    if (!readJournal(bytes)) {
        breakJournal();
        return;
    }
    std::string kept;
    JournalRecord record;
    for (std::size_t at = 0; readJournalRecord(bytes, at, record); at = record.end) {
        bool merge = record.mode != 'P' && record.mode != 'D';
        if (merge &&
            (heldUnwritten(record.texts[0]) || store.refusedLists.count(record.texts[0]))) {
            kept.append(bytes, at, record.end - at);
        }
    }
    replaceJournal(kept);
}

}  // namespace

bool mergeListRow(const std::string& listPath, const std::string& newRow, const std::string& newKey,
                  ListKind kind) {
    StoredList* list = findList(listPath, kind);
    const char mode = kind == ListKind::errors ? 'E' : 'N';
    if (!list) {
        // An index row is in the journal already (journalIndexRow), and an error-list row has
        // no other list to go to: both wait there for the next run, and this run says that
        // lists are left to write. A track row goes to the error list instead.
        if (kind != ListKind::tracks && !identityOf(listPath).empty()) {
            if (kind == ListKind::errors && !store.replaying) {
                journalRecord(mode, kind, listPath, newKey, newRow, nullptr);
            }
            store.refusedLists.insert(listPath);
        }
        return false;
    }
    std::size_t index = 0;
    if (changesNothing(*list, newRow, newKey, index)) {
        // A rerun merges every track row again into a list that holds it already. Such a
        // merge leaves the rows as they are, and replayed it would too, so it is not
        // journaled; the journal is still opened, so that a run that cannot keep one says so
        // as before. The list counts as changed all the same: a list stored otherwise than
        // this program stores it is written again, and its track rows go to the error list
        // if that fails.
        if (!store.replaying) {
            openJournal();
        }
        list->changed = true;
        if (list->kind == ListKind::tracks && list->rowsInText) {
            list->unsavedInText.push_back(index);
        } else if (list->kind == ListKind::tracks) {
            list->unsaved.emplace_back(newRow, newKey);
        }
    } else {
        if (!store.replaying) {
            journalRecord(mode, kind, listPath, newKey, newRow, nullptr);
        }
        applyMerge(*list, newRow, newKey);
    }
    ++store.mergesSinceCheckpoint;
    return true;
}

bool journalIndexRow(const std::string& listPath, const std::string& row, const std::string& key,
                     const std::string& folderPath) {
    // The folder may exist a moment from now: its row must be on disk before.
    return journalRecord('F', ListKind::index, listPath, key, row, &folderPath) && flushJournal();
}

void journalPicture(const std::string& albumFolderPath, const std::string& musicFilePath) {
    const std::string_view texts[2] = {albumFolderPath, musicFilePath};
    appendJournalRecord('P', 'A', texts, 2);
}

void journalPictureDone(const std::string& albumFolderPath) {
    const std::string_view text = albumFolderPath;
    appendJournalRecord('D', 'A', &text, 1);
}

void recoverLists() {
    if (!platform::pathExists(kJournalName)) {
        return;
    }
    std::string bytes;
    readJournal(bytes);
    JournalRecord record;
    for (std::size_t at = 0; readJournalRecord(bytes, at, record); at = record.end) {
        if (record.mode == 'W' && isJournalListPath(record.texts[0])) {
            store.cutLists.insert(record.texts[0]);
        }
    }
    std::vector<std::pair<std::string, std::string>> pictures;
    store.replaying = true;
    replayJournal(bytes, pictures);
    store.replaying = false;
    store.cutLists.clear();
    // The interrupted run made these folders and may have been stopped before their
    // pictures were whole.
    for (const auto& picture : pictures) {
        if (!platform::folderIdentity(picture.first).empty()) {
            extractArtwork(picture.second, picture.first);
        }
    }
    if (writeAllLists()) {
        removeJournal();
    } else {
        keepJournalOfUnwrittenLists();
    }
}

void noteFolderMade(const std::string& folderPath) {
    store.newFolders.insert(folderPath);
}

void checkpointListsIfDue() {
    if (store.mergesSinceCheckpoint < kMinCheckpointMerges ||
        store.mergesSinceCheckpoint < store.rowsHeld / 2) {
        return;
    }
    if (!writeAllLists()) {
        keepJournalOfUnwrittenLists();
        return;
    }
    // Everything the journal held is in the lists now: start it afresh.
    restartJournal();
}

bool finishLists() {
    bool allWritten = writeAllLists();
    if (allWritten) {
        closeJournal();
        removeJournal();
    } else {
        keepJournalOfUnwrittenLists();
        closeJournal();
    }
    bool succeeded = allWritten && !journalEverBroken();
    // The rows of the finished run are let go only when a later run in the same process
    // finishes: a process ends right after its run, and handing some hundred thousand rows
    // back to the allocator one by one would cost a twentieth of the run.
    static Store* finished = nullptr;
    delete finished;
    finished = new Store(std::move(store));
    beginLists();
    return succeeded;
}

void beginLists() {
    resetJournal();
    store = Store();
}
