// The rows of the list files. Every row starts with the byte length of its key, the byte
// length of its fourth column, and the key, so a reader can take a key whole even when it
// holds commas. Values are written as they stand: no quoting, no escaping.
#pragma once

#include <string>

#include "library/track_record.h"

// "len(key),len(shown),key,shown\n": a row of the artist list or of an album list.
std::string indexRow(const std::string& key, const std::string& shown);

// Sets `row` to the 16-column row of a track: the two lengths, file name, name, artist,
// album artist, composer, album, genre, total time, disc number, disc count, track number,
// track count, year, date added. `row` keeps its capacity: a run makes one for every track.
void trackRow(const TrackRecord& track, std::string& row);
