#include "output/list_rows.h"

std::string indexRow(const std::string& key, const std::string& shown) {
    std::string row = std::to_string(key.size());
    row += ',';
    row += std::to_string(shown.size());
    row += ',';
    row += key;
    row += ',';
    row += shown;
    row += '\n';
    return row;
}

std::string trackRow(const TrackRecord& track) {
    const std::string* const columns[] = {&track.fileName,    &track.name,        &track.artist,
                                          &track.albumArtist, &track.composer,    &track.album,
                                          &track.genre,       &track.totalTime,   &track.discNumber,
                                          &track.discCount,   &track.trackNumber, &track.trackCount,
                                          &track.year,        &track.dateAdded};
    // Sized once: appending column by column would grow the row several times over.
    std::size_t size = 2 * 20 + 2;
    for (const std::string* column : columns) {
        size += column->size() + 1;
    }
    std::string row;
    row.reserve(size);
    row += std::to_string(track.fileName.size());
    row += ',';
    row += std::to_string(track.name.size());
    for (const std::string* column : columns) {
        row += ',';
        row += *column;
    }
    row += '\n';
    return row;
}
