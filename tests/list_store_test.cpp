#include "output/list_store.h"

#include <gtest/gtest.h>

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
using namespace testing_support;

std::string row(const std::string& key, const std::string& value = "v") {
    return std::to_string(key.size()) + "," + std::to_string(value.size()) + "," + key + "," +
           value + "\n";
}

std::string record(char mode, char kind, const std::vector<std::string>& texts) {
    return journalRecordBytes(mode, kind, texts.data(), texts.size());
}

// Merging in memory must leave every list exactly as merging row by row into the file
// would: random merges into lists that start empty, sorted, out of order, with blank lines
// or without a final line end, with keys that differ only in case (in one list too), of
// rows new and rows they hold already.
TEST(ListStore, EndsLikeMergingIntoTheFileRowByRow) {
    const std::string keys[] = {"a", "A", "b", "_x", "9", "a,b", "", "\xE3\x81\x82", "B", "ab"};
    const std::string starts[] = {"",
                                  "1,1,a,v\r\n1,1,c,v\r\n",
                                  "1,1,c,v\r\n1,1,a,v\r\n0,0,,\r\n",
                                  "\r\n1,1,b,v\r\n\r\n\r\n1,1,d,v",
                                  "junk\n-1,0,zz\n",
                                  "1,1,a,1\r\n1,1,A,1\r\n1,1,b,1\r\n"};
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        ScopedTempFolder folder;
        std::map<std::string, std::string> expected;  // list path -> text with LF
        for (int step = -3; step < 60; ++step) {
            const std::string path = "list" + std::to_string(random() % 3) + ".csv";
            if (step < 0) {
                const std::string& start = starts[random() % 6];
                writeFile(path, start);
                expected[path] = platform::fromStoredText(start.data(), start.size());
                continue;
            }
            const std::string& key = keys[random() % 10];
            const std::string value = std::to_string(step % 3);
            ASSERT_TRUE(mergeListRow(path, row(key, value), key));
            expected[path] = mergeRows(expected[path], row(key, value), key, false);
        }
        EXPECT_TRUE(finishLists());
        for (const auto& [path, text] : expected) {
            EXPECT_EQ(readFile(path), platform::toStoredText(text)) << round << " " << path;
        }
        EXPECT_FALSE(fileExists(kJournalName));
    }
    // A row that the list holds already, and a second row of its key.
    ScopedTempFolder folder;
    writeFile("list.csv", "1,1,a,1\r\n1,1,A,1\r\n1,1,b,1\r\n");
    ASSERT_TRUE(mergeListRow("list.csv", row("a", "1"), "a"));
    EXPECT_TRUE(finishLists());
    EXPECT_EQ(readFile("list.csv"), "1,1,a,1\r\n1,1,b,1\r\n");
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
    EXPECT_TRUE(finishLists());
}

// A list that cannot be written keeps its old rows; the rows of tracks it would have taken go
// to the error list, those of folders do not.
TEST(ListStore, FailedWriteLeavesTheOldListAndKeepsTrackRows) {
    ScopedTempFolder folder;
    for (const std::string name : {"album", "index"}) {
        writeFile((makeFolders(name), name + "/list.csv"), "1,1,a,v\r\n");
        // A row the list holds already counts as merged too.
        for (const std::string key : {"a", "b"}) {
            ASSERT_TRUE(mergeListRow(name + "/list.csv", row(key), key,
                                     name == "album" ? ListKind::tracks : ListKind::index));
        }
        // The folder moves away and a file stands in its place.
        fs::rename(name, name + "-kept");
        writeFile(name, "");
    }
    EXPECT_FALSE(finishLists());
    EXPECT_EQ(readFile("album-kept/list.csv") + readFile("index-kept/list.csv"),
              "1,1,a,v\r\n1,1,a,v\r\n");
    EXPECT_EQ(readFile("errlist.csv"), platform::toStoredText(row("a") + row("b")));
}

// A record torn by an interruption (a byte changed, or cut short) is passed over, with
// everything after it; the rest is replayed.
TEST(ListStore, JournalLeftByAnInterruptedRunIsReplayed) {
    ScopedTempFolder folder;
    writeFile("list.csv", "1,1,b,v\r\n");
    const std::string added = record('N', 'I', {"list.csv", "a", row("a")});
    std::string torn = record('E', 'R', {"errlist.csv", "", row("x")});
    torn[torn.size() - 3] ^= 1;
    for (const std::string& journal :
         {added + added + torn + record('N', 'I', {"list.csv", "c", row("c")}),
          added + added.substr(0, added.size() - 1)}) {
        writeFile(kJournalName, journal);
        recoverLists();
        EXPECT_EQ(readFile("list.csv"), "1,1,a,v\r\n1,1,b,v\r\n");
        EXPECT_EQ(treeText("."), "list.csv");
    }
}

TEST(ListStore, JournalCannotLeadOutOfTheWorkingFolder) {
    ScopedTempFolder folder;
    makeFolders("Music/A");
    std::string journal;
    for (const std::string path :
         {"../list.csv", "Music/../../list.csv", "Music/A/../list.csv", "/tmp/list.csv",
          "Music/A/B/C/list.csv", "Music/..\\../list.csv", "other.csv", "Music/A/list.csv"}) {
        journal += record('N', 'I', {path, "k", row("k")});
    }
    // A row that is not one whole line is no row the program wrote.
    for (const char* badRow : {"1,1,j,v", "1,1,j,v\n1,1,m,v\n"}) {
        journal += record('N', 'I', {"Music/A/list.csv", "j", badRow});
    }
    journal += record('P', 'A', {"Music/A/../../Outside", "x.mp3"});
    // Lengths that run past the end, or would wrap around, end the replay.
    journal += "NI,18446744073709551615,2,3,00000000\nxyz";
    writeFile(kJournalName, journal);
    recoverLists();
    EXPECT_EQ(treeText("."), "Music Music/A Music/A/list.csv");
    EXPECT_EQ(readFile("Music/A/list.csv"), "1,1,k,v\r\n");
}

}  // namespace
