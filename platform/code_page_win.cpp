#include "platform/code_page.h"

#include <windows.h>

#include <climits>

namespace platform {

std::string utf8ToCodePage932(const std::string& utf8) {
    // The functions count in int. No name the program converts comes near that size, and
    // an empty name is the harmless answer for one that did.
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int utf8Length = static_cast<int>(utf8.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Length, nullptr, 0);
    if (wideLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    if (MultiByteToWideChar(CP_UTF8, 0, utf8.data(), utf8Length, &wide[0], wideLength) !=
        wideLength) {
        return {};
    }
    // The names go to the ANSI file functions, which read them in the thread's code page:
    // 932 on the Japanese Windows the program is made for.
    const int length = WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), wideLength, nullptr, 0,
                                           nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string result(static_cast<std::size_t>(length), '\0');
    if (WideCharToMultiByte(CP_THREAD_ACP, 0, wide.data(), wideLength, &result[0], length, nullptr,
                            nullptr) != length) {
        return {};
    }
    return result;
}

}  // namespace platform
