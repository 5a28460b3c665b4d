#include <dirent.h>

#include <string>
#include <unordered_map>
#include <unordered_set>

#include "encoding/letter_case.h"
#include "platform/entry_names.h"

namespace platform {
namespace {

struct FolderEntries {
    // The entry each letter-case-folded name resolves to.
    std::unordered_map<std::string, std::string> byFoldedName;
    // Entries that share their folded name with another one; each still names itself.
    std::unordered_set<std::string> sharingTheirFold;
};

// The folders looked into this run, by path. A large library has tens of thousands of
// folders and a track needs two of them; reading a folder once and looking names up in
// memory keeps the cost per track to a hash look-up. Never destroyed: at the end of the
// process, handing every name back to the allocator would only make the run longer.
std::unordered_map<std::string, FolderEntries>& folders =
    *new std::unordered_map<std::string, FolderEntries>();

void addEntry(FolderEntries& entries, const std::string& name) {
    auto added = entries.byFoldedName.emplace(foldLetterCase(name), name);
    if (!added.second) {
        std::string& earlier = added.first->second;
        entries.sharingTheirFold.insert(earlier);
        entries.sharingTheirFold.insert(name);
        if (name < earlier) {
            earlier = name;
        }
    }
}

FolderEntries& entriesOf(const std::string& folder) {
    auto known = folders.find(folder);
    if (known != folders.end()) {
        return known->second;
    }
    FolderEntries& entries = folders[folder];
    if (DIR* directory = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(directory)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                addEntry(entries, name);
            }
        }
        ::closedir(directory);
    }
    return entries;
}

}  // namespace

bool findEntry(const std::string& folder, const std::string& name, std::string& onDisk) {
    const FolderEntries& entries = entriesOf(folder);
    auto found = entries.byFoldedName.find(foldLetterCase(name));
    if (found == entries.byFoldedName.end()) {
        onDisk = name;
        return false;
    }
    onDisk = entries.sharingTheirFold.count(name) > 0 ? name : found->second;
    return true;
}

void folderMade(const std::string& folder, const std::string& name) {
    addEntry(entriesOf(folder), name);
    folders.emplace(folder + '/' + name, FolderEntries());
}

void forgetEntryNames() {
    folders.clear();
}

}  // namespace platform
