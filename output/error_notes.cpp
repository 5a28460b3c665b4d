#include "output/error_notes.h"

#include "platform/text_file.h"

void appendErrorNote(const std::string& word) {
    // A note that cannot be stored is not worth stopping a run for: the tracks it concerns
    // are still organised as far as their names allow.
    platform::appendTextLine("err.csv", word);
}
