#include "output/list_rows.h"

#include <cstring>

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

void trackRow(const TrackRecord& track, std::string& row) {
    const std::string* const columns[] = {&track.fileName,    &track.name,        &track.artist,
                                          &track.albumArtist, &track.composer,    &track.album,
                                          &track.genre,       &track.totalTime,   &track.discNumber,
                                          &track.discCount,   &track.trackNumber, &track.trackCount,
                                          &track.year,        &track.dateAdded};
    const std::string fileNameLength = std::to_string(track.fileName.size());
    const std::string nameLength = std::to_string(track.name.size());
    std::size_t size = fileNameLength.size() + 1 + nameLength.size() + 1;
    for (const std::string* column : columns) {
        size += column->size() + 1;
    }
    // Written in place, sized once: each column appended on its own cost more than the
    // copy of its bytes.
    row.resize(size);
    char* out = &row[0];
    auto put = [&out](const std::string& text) {
        std::memcpy(out, text.data(), text.size());
        out += text.size();
    };
    put(fileNameLength);
    *out++ = ',';
    put(nameLength);
    for (const std::string* column : columns) {
        *out++ = ',';
        put(*column);
    }
    *out = '\n';
}
