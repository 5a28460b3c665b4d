// The Windows side of the test support: file names are bytes of the ANSI code page, which
// is 932 on the Japanese Windows the program is made for.
#include <windows.h>

#include "tests/test_support.h"

namespace testing_support {

std::filesystem::path toPath(const std::string& bytes) {
    // Each byte gives at most one UTF-16 code unit.
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0],
                            static_cast<int>(wide.size()))));
    return wide;
}

std::string fromPath(const std::filesystem::path& path) {
    // Each UTF-16 code unit gives at most three bytes.
    const std::wstring wide = path.generic_wstring();
    std::string bytes(3 * wide.size(), '\0');
    bytes.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0],
                            static_cast<int>(bytes.size()), nullptr, nullptr)));
    return bytes;
}

}  // namespace testing_support
