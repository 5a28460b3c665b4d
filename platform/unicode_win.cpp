#include "platform/unicode.h"

#include <windows.h>

#include <algorithm>
#include <climits>

namespace platform {
namespace {

bool toWide(const std::string& utf8, std::wstring& wide) {
    const int length = static_cast<int>(utf8.size());
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return false;
    }
    wide.assign(static_cast<std::size_t>(wideLength), L'\0');
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, &wide[0],
                               wideLength) == wideLength;
}

bool toUtf8(const std::wstring& wide, std::string& utf8) {
    if (wide.empty()) {
        utf8.clear();
        return true;
    }
    const int wideLength = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return false;
    }
    utf8.assign(static_cast<std::size_t>(length), '\0');
    return WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr,
                               nullptr) == length;
}

}  // namespace

std::string composeNfc(const std::string& utf8) {
    // The functions count in int; no name comes near that size, and one that did is kept.
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX / 4)) {
        return utf8;
    }
    std::wstring wide;
    if (!toWide(utf8, wide)) {
        return utf8;
    }
    const int wideLength = static_cast<int>(wide.size());
    // The first call only estimates the length; a text that composes less than estimated
    // asks for a larger buffer, so try again with the size it names.
    int capacity = NormalizeString(NormalizationC, wide.data(), wideLength, nullptr, 0);
    for (int attempt = 0; attempt < 4 && capacity > 0; ++attempt) {
        std::wstring composed(static_cast<std::size_t>(capacity), L'\0');
        const int length =
            NormalizeString(NormalizationC, wide.data(), wideLength, &composed[0], capacity);
        if (length > 0) {
            composed.resize(static_cast<std::size_t>(length));
            std::string result;
            return toUtf8(composed, result) ? result : utf8;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            break;
        }
        capacity = std::max(-length, 2 * capacity);
    }
    return utf8;
}

}  // namespace platform
