#include "library/track_parser.h"

#include <string_view>

#include "encoding/xml_text.h"
#include "library/line_reader.h"
#include "library/location.h"
#include "library/track_record.h"

namespace {

enum class Value { text, integer, date, location, compilation };

struct KeyRule {
    std::string_view key;
    Value value;
    std::string TrackRecord::*field;
};

constexpr KeyRule kKeyRules[] = {
    {"Name", Value::text, &TrackRecord::name},
    {"Artist", Value::text, &TrackRecord::artist},
    {"Album Artist", Value::text, &TrackRecord::albumArtist},
    {"Composer", Value::text, &TrackRecord::composer},
    {"Album", Value::text, &TrackRecord::album},
    {"Genre", Value::text, &TrackRecord::genre},
    {"Total Time", Value::integer, &TrackRecord::totalTime},
    {"Disc Number", Value::integer, &TrackRecord::discNumber},
    {"Disc Count", Value::integer, &TrackRecord::discCount},
    {"Track Number", Value::integer, &TrackRecord::trackNumber},
    {"Track Count", Value::integer, &TrackRecord::trackCount},
    {"Year", Value::integer, &TrackRecord::year},
    {"Date Added", Value::date, &TrackRecord::dateAdded},
    {"Location", Value::location, nullptr},
    {"Compilation", Value::compilation, nullptr},
};

// The rules by the length of their key, in table order. Every entry line of every track
// comes here, and most keys of a track have no rule: their length alone settles that.
constexpr std::size_t kLongestRuleKey = 12;

// Built at compile time, so that a rule with a longer key, or a fifth of one length, fails
// to compile rather than write past the table.
struct RulesByLength {
    const KeyRule* rules[kLongestRuleKey + 1][4] = {};
    std::size_t count[kLongestRuleKey + 1] = {};

    constexpr RulesByLength() {
        for (const KeyRule& rule : kKeyRules) {
            std::size_t length = rule.key.size();
            rules[length][count[length]++] = &rule;
        }
    }
};

// Fills the record as `rule` says for the entry line `line` of key `key`. Kept apart from
// the look-up, which most lines leave at once, so that those need not set up its work.
void applyRule(const KeyRule& rule, std::string_view key, std::string_view line) {
    switch (rule.value) {
        case Value::text: {
            // Filled in place, the field keeps its capacity from track to track.
            std::string& field = trackRecord().*rule.field;
            field.clear();
            appendXmlDecoded(field, valueOf(ValueTag::string, line, key));
            if (rule.field == &TrackRecord::albumArtist) {
                trackRecord().hasAlbumArtist = true;
            }
            break;
        }
        case Value::integer:
            (trackRecord().*rule.field).assign(valueOf(ValueTag::integer, line, key));
            break;
        case Value::date:
            (trackRecord().*rule.field).assign(valueOf(ValueTag::date, line, key));
            break;
        case Value::location:
            resolveLocation(line);
            break;
        case Value::compilation:
            trackRecord().isCompilation = true;
            break;
    }
}

}  // namespace

void parseTrackLine(std::string_view key, std::string_view line) {
    static constexpr RulesByLength byLength{};
    if (key.size() > kLongestRuleKey) {
        return;
    }
    for (std::size_t i = 0; i < byLength.count[key.size()]; ++i) {
        const KeyRule& rule = *byLength.rules[key.size()][i];
        if (key[0] == rule.key[0] && sameBytes(key.data(), rule.key.data(), key.size())) {
            applyRule(rule, key, line);
            return;
        }
    }
}
