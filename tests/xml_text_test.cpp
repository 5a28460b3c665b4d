#include "encoding/xml_text.h"

#include <gtest/gtest.h>

namespace {

TEST(XmlText, DecodesEscapesAndLeavesTheRest) {
    const char* const decoded[][2] = {
        {"Simon &#38; Garfunkel", "Simon & Garfunkel"},
        {"&lt;b&gt; &quot;q&quot; &apos;a&apos;", "<b> \"q\" 'a'"},
        {"&#x3042;&#12354;", "\xE3\x81\x82\xE3\x81\x82"},
        {"&#x1F600;", "\xF0\x9F\x98\x80"},
        {"&&amp;&", "&&&"},
    };
    for (const auto& c : decoded) {
        EXPECT_EQ(decodeXmlEscapes(c[0]), c[1]) << c[0];
    }
    for (const char* kept : {"R&B", "&amp", "&ampx;", "&nbsp;", "&#12a;", "&#0;", "&#xD800;",
                             "&#x110000;", "&#99999999999999999999;"}) {
        EXPECT_EQ(decodeXmlEscapes(kept), kept);
    }
}

}  // namespace
