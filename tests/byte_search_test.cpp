#include "output/byte_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

std::size_t naive(const std::vector<unsigned char>& data, std::size_t from, std::size_t limit,
                  unsigned char first, unsigned char second, unsigned char mask) {
    for (std::size_t i = from; i < limit; ++i) {
        if (data[i] == first && i + 1 < data.size() && (data[i + 1] & mask) == second) {
            return i;
        }
    }
    return limit;
}

// Against the plain definition, on data dense with near misses (few byte values), at every
// start and limit near the ends of the 16- and 64-byte steps; one pair and either of two.
TEST(ByteSearch, FindsTheFirstPairLikeAPlainLoop) {
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        std::vector<unsigned char> data(random() % 160);
        for (unsigned char& byte : data) {
            const unsigned char values[] = {0xFF, 0xD8, 0xD9, 0x89, 'P', 0x00};
            byte = values[random() % 6];
        }
        for (std::size_t from = 0; from <= data.size(); ++from) {
            for (std::size_t limit = from; limit <= data.size(); limit += 1 + limit % 7) {
                ASSERT_EQ(findBytePair(data.data(), from, limit, data.size(), 0xFF, 0xD8, 0xFE),
                          naive(data, from, limit, 0xFF, 0xD8, 0xFE));
                ASSERT_EQ(findBytePair(data.data(), from, limit, data.size(), 0x89, 'P'),
                          naive(data, from, limit, 0x89, 'P', 0xFF));
                ASSERT_EQ(findEitherBytePair(data.data(), from, limit, data.size(), 0x89, 'P', 0xFF,
                                             0xD8, 0xFE),
                          std::min(naive(data, from, limit, 0x89, 'P', 0xFF),
                                   naive(data, from, limit, 0xFF, 0xD8, 0xFE)));
            }
        }
    }
}

}  // namespace
