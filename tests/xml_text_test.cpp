#include "encoding/xml_text.h"

#include <gtest/gtest.h>

namespace {

TEST(XmlText, DecodesEscapesAndLeavesTheRest) {
    struct Case {
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        {"Simon &#38; Garfunkel", "Simon & Garfunkel"},
        {"&lt;b&gt; &quot;q&quot; &apos;a&apos;", "<b> \"q\" 'a'"},
        {"&#x3042;", "\xE3\x81\x82"},
        {"&#12354;", "\xE3\x81\x82"},
        {"&#x1F600;", "\xF0\x9F\x98\x80"},
        {"R&B", "R&B"},
        {"&amp", "&amp"},
        {"&ampx;", "&ampx;"},
        {"&nbsp;", "&nbsp;"},
        {"&#12a;", "&#12a;"},
        {"&#0;", "&#0;"},
        {"&#xD800;", "&#xD800;"},
        {"&#x110000;", "&#x110000;"},
        {"&#99999999999999999999;", "&#99999999999999999999;"},
        {"&&amp;&", "&&&"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeXmlEscapes(c.input), c.expected) << c.input;
    }
}

}  // namespace
