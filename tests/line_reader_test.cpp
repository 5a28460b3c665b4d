#include "library/line_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"

namespace {

// Every line the loops would see for a file with these bytes, each followed by "|", or by
// "$" when the input was at its end after reading it.
std::string linesOf(const std::string& bytes) {
    testing_support::writeFile("export.xml", bytes);
    std::string lines;
    EXPECT_TRUE(openLibrary("export.xml"));
    while (!atEndOfInput()) {
        readLine();
        lines += std::string(currentLine) + (atEndOfInput() ? "$" : "|");
        // The reader finds the "<" of the line as it reads it: the tags must come out as a
        // look at a copy of the line finds them.
        const std::string copy(currentLine);
        const LineTags tags = scanLine(currentLine);
        const LineTags copyTags = scanLine(copy);
        EXPECT_EQ(tags.opensDictionary, copyTags.opensDictionary) << copy;
        EXPECT_EQ(tags.closesDictionary, copyTags.closesDictionary) << copy;
        EXPECT_EQ(tags.hasKey, copyTags.hasKey) << copy;
        EXPECT_EQ(tags.key, copyTags.key) << copy;
        EXPECT_EQ(extractBetween("<string>", "</string>", currentLine),
                  extractBetween("<string>", "</string>", copy));
        EXPECT_EQ(valueOf(ValueTag::string, currentLine, tags.key),
                  extractBetween("<string>", "</string>", copy))
            << copy;
        EXPECT_EQ(valueOf(ValueTag::integer, currentLine, tags.key),
                  extractBetween("<integer>", "</integer>", copy))
            << copy;
    }
    closeLibrary();
    return lines;
}

TEST(LineReader, TextModeRules) {
    testing_support::ScopedTempFolder folder;
    std::string manyPieces = "<key>k</key><string>";
    for (int i = 0; i < 12; ++i) {
        manyPieces += std::string(70, 'x') + "<i>";
    }
    manyPieces += "</string>";
    const struct {
        std::string bytes;
        std::string lines;
    } cases[] = {
        {"a\nb\n", "a|b|$"},
        {"a\r\nb\r\n", "a|b|$"},
        {"a\rb\n", "a\rb|$"},
        {"a\r\r\n", "a\r|$"},
        {"a\nb", "a|b$"},
        {"a\nb\x1A"
         "c\nd\n",
         "a|b$"},
        {"", "$"},
        {"<key>a</key>\n<dict>\n</dict><key>b\n", "<key>a</key>|<dict>|</dict><key>b|$"},
        {"<<<<<<<<<key>a</key><string>x</string>\n<</dict>",
         "<<<<<<<<<key>a</key><string>x</string>|<</dict>$"},
        // "<" in more pieces of sixty-four bytes than are noted, and tags right after a line
        // in the same piece of sixty-four.
        {manyPieces + "\n", manyPieces + "|$"},
        {"<key>a</key>\n<dict><key>" + std::string(64, 'x') + "\n",
         "<key>a</key>|<dict><key>" + std::string(64, 'x') + "|$"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(linesOf(c.bytes), c.lines) << c.bytes;
    }
    // Lines longer than the reader's block, with tags in more than one block, and a CR LF
    // split between two blocks.
    const std::string longLine = "<key>" + std::string(3 * 1024 * 1024 + 17, 'x') + "</key>";
    const std::string filler((1 << 20) - 1 - (longLine.size() + 2) % (1 << 20), 'y');
    EXPECT_TRUE(linesOf(longLine + "\r\n" + filler + "\r\nend") ==
                longLine + "|" + filler + "|end$");
}

// Usual entry lines, whose tags and value are found the quick way, and lines that only look
// like them: tags and values must come out as a look at a copy of the line finds them.
TEST(LineReader, UsualEntryLines) {
    testing_support::ScopedTempFolder folder;
    const std::string lines =
        "\t\t\t<key>Name</key><string>v</string>\n"
        "\t\t\t<key>Size</key><integer>12</integer>\n"
        "<key></key><string></string>\n"
        "<string>x</string><key>Name</key><string>y</string>\n"
        "<key>Name</key><string>a<b</string>\n"
        "<key>Name</key></string><string>v</string>\n"
        "<key>Name</key> <string>v</string>\n"
        "<key>Name</key><integer>1</integer>\n"
        "<key>Name</key><integer>1</string>\n"
        "<key>Name</key><string>v\n"
        "<key>Na<me</key><string>v</string>\n"
        "<key>a</key><dict>\n"
        "<key>a</key><string>v</string></dict><dict>\n"
        "<key>a</key><key>b</key></key>\n"
        "<key>" +
        std::string(50, 'k') + "</key><string>v</string>\n";
    EXPECT_EQ(linesOf(lines).size(), lines.size() + 1);
}

TEST(LineReader, ExtractBetween) {
    EXPECT_EQ(extractBetween("<integer>", "</integer>", "\t<key>T</key><integer>12</integer>"),
              "12");
    EXPECT_EQ(extractBetween("<string>", "</string>", "no tags here"), "no tags here");
    EXPECT_EQ(extractBetween("<string>", "</string>", "<string>first line"), "first line");
    EXPECT_EQ(extractBetween("<a>", "</a>", "<a>x<a>y</a>"), "x<a>y");
    EXPECT_EQ(keyOf("\t\t\t<key>Total Time</key><integer>123</integer>"), "Total Time");
    EXPECT_EQ(keyOf("\tcontinued text"), "\tcontinued text");
}

}  // namespace
