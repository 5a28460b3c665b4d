// The Windows side of the test support: file names are bytes of the ANSI code page, which
// is 932 on the Japanese Windows the program is made for.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/test_support.h"

namespace testing_support {

namespace {

// Quotes an argument so that the C runtime's command line parser gives it back unchanged:
// backslashes count only before a quotation mark.
std::string quoted(const std::string& argument) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        out += c;
        backslashes = 0;
    }
    out.append(2 * backslashes, '\\');
    return out + '"';
}

}  // namespace

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

bool makeFolderLink(const std::string& link, const std::string& target) {
    std::string windowsTarget = target;
    std::replace(windowsTarget.begin(), windowsTarget.end(), '/', '\\');
    CreateSymbolicLinkA(
        link.c_str(), windowsTarget.c_str(),
        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    auto isLink = [&link] {
        DWORD attributes = GetFileAttributesA(link.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    };
    // Wine reports success without making the link. A link made by the system under it
    // shows as a reparse point; Wine starts that system's programs like any other, but not
    // always in the current folder (so the link's path is given whole), and without a
    // process to wait for (so the link is waited for).
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    auto unixFileName = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    wchar_t fullPath[MAX_PATH];
    if (!isLink() && unixFileName &&
        GetFullPathNameW(toPath(link).c_str(), MAX_PATH, fullPath, nullptr) > 0) {
        char* unixLink = unixFileName(fullPath);
        std::string command = "Z:\\bin\\ln -s " + quoted(target) + ' ' + quoted(unixLink);
        HeapFree(GetProcessHeap(), 0, unixLink);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process)) {
            CloseHandle(process.hProcess);
            CloseHandle(process.hThread);
            for (int wait = 0; wait < 500 && !isLink(); ++wait) {
                Sleep(10);
            }
        }
    }
    return isLink();
}

}  // namespace testing_support
