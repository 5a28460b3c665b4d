// The search primitive of the picture scan: most of a music file is audio in which no
// picture starts, and the scan should cost little more than reading the file.
#pragma once

#include <cstddef>

// The first position i in [from, limit) at which data[i] is `first` and data[i + 1], masked
// with `secondMask`, is `second`; `limit` when there is none. Only bytes before `size` are
// read, so a position whose second byte would lie at or past `size` never matches.
std::size_t findBytePair(const unsigned char* data, std::size_t from, std::size_t limit,
                         std::size_t size, unsigned char first, unsigned char second,
                         unsigned char secondMask = 0xFF);

// The first position in [from, limit) at which either pair is found by the rule of
// findBytePair: `firstA` followed by `secondA`, or `firstB` followed by a byte that, masked
// with `secondMaskB`, is `secondB`. One pass looks for both.
std::size_t findEitherBytePair(const unsigned char* data, std::size_t from, std::size_t limit,
                               std::size_t size, unsigned char firstA, unsigned char secondA,
                               unsigned char firstB, unsigned char secondB,
                               unsigned char secondMaskB);
