#include "library/line_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/test_support.h"

namespace {

using testing_support::ScopedTempFolder;
using testing_support::writeFile;

// Every line the loops would see for a file with these bytes, with the end-of-input
// condition as it stood after each read.
std::vector<std::pair<std::string, bool>> linesOf(const std::string& bytes) {
    writeFile("export.xml", bytes);
    std::vector<std::pair<std::string, bool>> lines;
    EXPECT_TRUE(openLibrary("export.xml"));
    while (!atEndOfInput()) {
        readLine();
        lines.emplace_back(currentLine, atEndOfInput());
    }
    closeLibrary();
    return lines;
}

using Lines = std::vector<std::pair<std::string, bool>>;

TEST(LineReader, TextModeRules) {
    ScopedTempFolder folder;
    struct Case {
        const char* what;
        std::string bytes;
        Lines expected;
    };
    const Case cases[] = {
        {"LF", "a\nb\n", {{"a", false}, {"b", false}, {"", true}}},
        {"CR LF reads as LF", "a\r\nb\r\n", {{"a", false}, {"b", false}, {"", true}}},
        {"lone CR stays", "a\rb\n", {{"a\rb", false}, {"", true}}},
        {"CR CR LF keeps one CR", "a\r\r\n", {{"a\r", false}, {"", true}}},
        {"last line without LF", "a\nb", {{"a", false}, {"b", true}}},
        {"Ctrl-Z ends the input",
         std::string("a\nb\x1A"
                     "c\nd\n"),
         {{"a", false}, {"b", true}}},
        {"empty file", "", {{"", true}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(linesOf(c.bytes), c.expected) << c.what;
    }
}

TEST(LineReader, LinesAcrossBlockBoundaries) {
    ScopedTempFolder folder;
    // Lines longer than the reader's block, and a CR LF split between two blocks.
    std::string longLine(3 * 1024 * 1024 + 17, 'x');
    std::string bytes = longLine + "\r\n";
    std::string filler((1 << 20) - 1 - bytes.size() % (1 << 20), 'y');
    bytes += filler + "\r\n" + "end";
    Lines lines = linesOf(bytes);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].first, longLine);
    EXPECT_EQ(lines[1].first, filler);
    EXPECT_EQ(lines[2], std::make_pair(std::string("end"), true));
}

TEST(LineReader, ExtractBetween) {
    struct Case {
        const char* open;
        const char* close;
        const char* line;
        const char* expected;
    };
    const Case cases[] = {
        {"<integer>", "</integer>", "\t\t\t<key>Total Time</key><integer>123</integer>", "123"},
        {"<string>", "</string>", "no tags here", "no tags here"},
        {"<string>", "</string>", "<string>first line of a value", "first line of a value"},
        {"<a>", "</a>", "<a>x<a>y</a>", "x<a>y"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(extractBetween(c.open, c.close, c.line), c.expected) << c.line;
    }
    EXPECT_EQ(keyOf("\t\t\t<key>Total Time</key><integer>123</integer>"), "Total Time");
    EXPECT_EQ(keyOf("\tcontinued text"), "\tcontinued text");
}

// The one-pass scan must find exactly what the separate searches find.
TEST(LineReader, ScanLineAgreesWithTheSearches) {
    const char* const lines[] = {
        "\t\t\t<key>Name</key><string>A</string>",
        "\t\t<dict>",
        "\t</dict>",
        "<key>a<dict></key></dict>",
        "</key><key>late close",
        "</dict><dict><key></key>",
        "<<key>>x</key</key>",
        "",
    };
    for (const char* line : lines) {
        currentLine = line;
        const LineTags tags = scanLine(line);
        EXPECT_EQ(tags.opensDictionary, lineContains("<dict>")) << line;
        EXPECT_EQ(tags.closesDictionary, lineContains("</dict>")) << line;
        EXPECT_EQ(tags.hasKey, lineContains("<key>")) << line;
        if (tags.hasKey) {
            EXPECT_EQ(tags.key, keyOf(line)) << line;
        }
    }
}

}  // namespace
