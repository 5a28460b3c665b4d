// What the table checks share: bytes shown as hex pairs in their reports of a difference.
#pragma once

#include <cstdio>
#include <string>

inline std::string hex(const std::string& bytes) {
    std::string text;
    for (const unsigned char byte : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X ", byte);
        text += pair;
    }
    return text;
}
