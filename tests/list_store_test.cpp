#include "output/list_store.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "output/journal.h"
#include "output/list_merge.h"
#include "platform/text_file.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::fileExists;
using testing_support::listTree;
using testing_support::makeFolders;
using testing_support::readFile;
using testing_support::ScopedTempFolder;
using testing_support::writeFile;

std::string row(const std::string& key, const std::string& value = "v") {
    return std::to_string(key.size()) + "," + std::to_string(value.size()) + "," + key + "," +
           value + "\n";
}

// Merging in memory must leave every list exactly as merging row by row into the file
// would: random merges into lists that start empty, sorted, out of order, with blank lines
// or without a final line end, in both modes, with keys that differ only in case.
TEST(ListStore, EndsLikeMergingIntoTheFileRowByRow) {
    const std::vector<std::string> keys = {"a", "A",  "b", "_x", "9", "a,b", "", "\xE3\x81\x82",
                                           "B", "ab", "c"};
    const std::vector<std::string> starts = {
        "",
        "1,1,a,v\r\n1,1,c,v\r\n",
        "1,1,c,v\r\n1,1,a,v\r\n0,0,,\r\n",
        "\r\n1,1,b,v\r\n\r\n\r\n1,1,d,v",
        "junk\n-1,0,zz\n",
    };
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        ScopedTempFolder folder;
        std::map<std::string, std::string> expected;  // list path -> text with LF
        for (std::size_t i = 0; i < 3; ++i) {
            std::string path = "list" + std::to_string(i) + ".csv";
            const std::string& start = starts[random() % starts.size()];
            writeFile(path, start);
            expected[path] = platform::fromStoredText(start.data(), start.size());
        }
        for (int step = 0; step < 60; ++step) {
            std::string path = "list" + std::to_string(random() % 3) + ".csv";
            const std::string& key = keys[random() % keys.size()];
            std::string newRow = row(key, std::to_string(step));
            ASSERT_TRUE(mergeListRow(path, newRow, key));
            expected[path] = mergeRows(expected[path], newRow, key, false);
        }
        finishLists();
        for (const auto& list : expected) {
            EXPECT_EQ(readFile(list.first), platform::toStoredText(list.second))
                << "round " << round << " " << list.first;
        }
        EXPECT_FALSE(fileExists(kJournalName));
    }
}

// A list is written only when its bytes would change: the same rows in a file stored
// otherwise (LF line ends, text after a Ctrl-Z) are written again.
TEST(ListStore, ListIsWrittenOnlyWhenItsBytesWouldChange) {
    const struct {
        std::string start;
        bool rewritten;
    } cases[] = {
        {"1,1,a,v\r\n", false},
        {"1,1,a,v\n", true},
        {"1,1,a,v\r\n\x1A"
         "1,1,b,v\r\n",
         true},
    };
    for (const auto& c : cases) {
        ScopedTempFolder folder;
        writeFile("list.csv", c.start);
        std::filesystem::last_write_time(
            "list.csv", std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
        const auto old = std::filesystem::last_write_time("list.csv");
        ASSERT_TRUE(mergeListRow("list.csv", row("a"), "a"));
        finishLists();
        EXPECT_EQ(readFile("list.csv"), "1,1,a,v\r\n") << c.start;
        EXPECT_EQ(std::filesystem::last_write_time("list.csv") != old, c.rewritten) << c.start;
    }
}

TEST(ListStore, CheckpointsWriteListsAndEmptyTheJournal) {
    ScopedTempFolder folder;
    std::string expected;
    for (std::size_t i = 0; i < kMinCheckpointMerges; ++i) {
        ASSERT_TRUE(mergeListRow("errlist.csv", row("", std::to_string(i)), "", ListKind::errors));
        expected += platform::toStoredText(row("", std::to_string(i)));
        checkpointListsIfDue();
    }
    EXPECT_EQ(readFile("errlist.csv"), expected);
    EXPECT_EQ(readFile(kJournalName), "");
    ASSERT_TRUE(mergeListRow("errlist.csv", row("zz"), "zz", ListKind::errors));
    finishLists();
    EXPECT_EQ(readFile("errlist.csv"), expected + platform::toStoredText(row("zz")));
}

TEST(ListStore, FailedWriteLeavesTheOldListAndKeepsTrackRows) {
    ScopedTempFolder folder;
    const std::string old = "1,1,a,v\r\n";
    for (const char* list : {"album/list.csv", "index/list.csv"}) {
        makeFolders(fs::path(list).parent_path().string());
        writeFile(list, old);
    }
    ASSERT_TRUE(mergeListRow("album/list.csv", row("b"), "b", ListKind::tracks));
    ASSERT_TRUE(mergeListRow("index/list.csv", row("b"), "b"));
    // The folders move away and files stand in their places: no list can be written there.
    for (const char* name : {"album", "index"}) {
        fs::rename(name, std::string(name) + "-kept");
        writeFile(name, "");
    }
    finishLists();
    EXPECT_EQ(readFile("album-kept/list.csv"), old);
    EXPECT_EQ(readFile("index-kept/list.csv"), old);
    // The track row went to the error list instead; the index row did not.
    EXPECT_EQ(readFile("errlist.csv"), platform::toStoredText(row("b")));
}

TEST(ListStore, JournalLeftByAnInterruptedRunIsReplayed) {
    ScopedTempFolder folder;
    makeFolders("Music");
    writeFile("list.csv", "1,1,b,v\r\n");
    std::string path = "list.csv";
    std::string key = "a";
    std::string newRow = row("a");
    const std::string texts[] = {path, key, newRow};
    std::string record = journalRecordBytes('N', 'I', texts, 3);
    // A record torn by the interruption (a byte changed, or the record cut short) is passed
    // over, and everything after it.
    const std::string errorTexts[] = {"errlist.csv", "", row("x")};
    std::string torn = journalRecordBytes('E', 'R', errorTexts, 3);
    torn[torn.size() - 3] ^= 1;
    const std::string later[] = {path, "c", row("c")};
    writeFile(kJournalName, record + record + torn + journalRecordBytes('N', 'I', later, 3));
    recoverLists();
    EXPECT_EQ(readFile("list.csv"), "1,1,a,v\r\n1,1,b,v\r\n");
    EXPECT_FALSE(fileExists("errlist.csv"));
    writeFile(kJournalName, record + record.substr(0, record.size() - 1));
    recoverLists();
    EXPECT_EQ(readFile("list.csv"), "1,1,a,v\r\n1,1,b,v\r\n");
    EXPECT_FALSE(fileExists(kJournalName));
    EXPECT_FALSE(fileExists("errlist.csv"));
}

TEST(ListStore, JournalCannotLeadOutOfTheWorkingFolder) {
    ScopedTempFolder folder;
    makeFolders("Music/A");
    std::string journal;
    for (const std::string path :
         {"../list.csv", "Music/../../list.csv", "Music/A/../list.csv", "/tmp/list.csv",
          "Music/A/B/C/list.csv", "Music/..\\../list.csv", "other.csv", "Music/A/list.csv"}) {
        const std::string texts[] = {path, "k", row("k")};
        journal += journalRecordBytes('N', 'I', texts, 3);
    }
    // A row that is not one whole line is no row the program wrote.
    for (const char* badRow : {"1,1,j,v", "1,1,j,v\n1,1,m,v\n"}) {
        const std::string texts[] = {"Music/A/list.csv", "j", badRow};
        journal += journalRecordBytes('N', 'I', texts, 3);
    }
    const std::string picture[] = {"Music/A/../../Outside", "x.mp3"};
    journal += journalRecordBytes('P', 'A', picture, 2);
    // Lengths that run past the end, or would wrap around, end the replay.
    journal += "NI,18446744073709551615,2,3,00000000\nxyz";
    writeFile(kJournalName, journal);
    recoverLists();
    EXPECT_EQ(listTree("."), (std::vector<std::string>{"Music", "Music/A", "Music/A/list.csv"}));
    EXPECT_EQ(readFile("Music/A/list.csv"), "1,1,k,v\r\n");
}

}  // namespace
