#include "output/list_merge.h"

#include <gtest/gtest.h>

namespace {

TEST(ListMerge, RowKeyAndKeyOrder) {
    const char* const cases[][2] = {
        {"12,5,01 Intro.mp3,Intro,Foo", "01 Intro.mp3"},
        {"5,1,a,b,c,x", "a,b,c"},
        {"x,3,abc", ""},
        {"-1,3,abc,def", "abc,def"},
        {" +3,1,abcdef", "abc"},
        {"3,abcdef", "abc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rowKey(c[0]), c[1]) << c[0];
    }
    EXPECT_EQ(compareKeys("Abc", "abc"), 0);
    EXPECT_LT(compareKeys("_", "a"), 0);
    EXPECT_LT(compareKeys("9", "_"), 0);
    EXPECT_LT(compareKeys("zzz", "\xC2\xA0"), 0);
    EXPECT_LT(compareKeys("ab", "abc"), 0);
    EXPECT_EQ(compareKeys(std::string("ab\0x", 4), std::string("AB\0y", 4)), 0);
    EXPECT_EQ(compareKeys("01 Intro (Live).mp3", "01 INTRO (LIVE).MP3"), 0);
    EXPECT_LT(compareKeys("01 Intro (Live).mp3", "01 Intro (Live).mp4"), 0);
    EXPECT_EQ(
        compareKeys(std::string("abcdefg\0xyzabcde", 16), std::string("abcdefg\0XYZzzzzz", 16)), 0);
}

std::string row(const std::string& key) {
    return std::to_string(key.size()) + ",1," + key + ",v\n";
}

TEST(ListMerge, MergeRows) {
    const struct {
        const char* what;
        std::string content;
        std::string key;
        bool errorList;
        std::string expected;
    } cases[] = {
        {"empty list", "", "b", false, row("b")},
        {"sorted insert", row("a") + row("c"), "b", false, row("a") + row("b") + row("c")},
        {"equal keys replaced, case-insensitively", "3,1,Abc,old\n" + row("XYZ"), "abc", false,
         row("abc") + row("XYZ")},
        {"every equal row goes", row("b") + row("a") + row("b"), "b", false, row("a") + row("b")},
        {"blank lines dropped", "\n" + row("a") + "\n\n" + row("c"), "b", false,
         row("a") + row("b") + row("c")},
        {"missing final line end repaired", "1,1,a,v", "b", false, row("a") + row("b")},
        {"error list keeps equal keys in order", "0,1,,1\n0,1,,2\n", "", true,
         "0,1,,1\n0,1,,2\n" + row("")},
        {"a row without a length has the empty key", "junk\n" + row("b"), "a", false,
         "junk\n" + row("a") + row("b")},
        {"key with commas cut by its length", row("a,b") + row("a,c"), "a,bb", false,
         row("a,b") + row("a,bb") + row("a,c")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mergeRows(c.content, row(c.key), c.key, c.errorList), c.expected) << c.what;
    }
}

}  // namespace
