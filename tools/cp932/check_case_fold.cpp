// Checks, on Windows or under Wine, that foldLetterCase (encoding/letter_case.cpp), which
// builds without Windows use to find folders whatever their letter case, takes two names
// for one exactly when Windows' file system does. In a fresh folder it creates one folder
// for each character that Windows converts to code page 932 and back unchanged (every
// character the program's folder names can hold), named by that character alone; a
// creation that fails because the name is there already shows, through the name found,
// which earlier character the file system takes it for. Names compare character by
// character, so what holds for single characters holds for every name. Prints the first
// differences and exits with 1 when there are any.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tools/check_hex.h"

// The file itself, not a copy of its logic, so the check covers exactly what is built.
#include "encoding/letter_case.cpp"

namespace {

int mismatches = 0;

std::string to932(const std::wstring& wide) {
    const int length = static_cast<int>(wide.size());
    const int size = WideCharToMultiByte(932, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(932, 0, wide.data(), length, &bytes[0], size, nullptr, nullptr);
    }
    return bytes;
}

std::wstring from932(const std::string& bytes) {
    const int length = static_cast<int>(bytes.size());
    const int size =
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) {
        MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), length, &wide[0], size);
    }
    return wide;
}

void report(const std::string& character, const std::string& other, const char* what) {
    if (++mismatches <= 20) {
        std::printf("%s and %s: %s\n", hex(character).c_str(), hex(other).c_str(), what);
    }
}

// The code page 932 characters that stand for themselves in a folder name: each comes from
// exactly one UTF-16 code unit, which it converts back to. Control characters, the ones
// Windows refuses in names, and the dot and blank (a name of them alone means something
// else) are left out.
std::vector<std::wstring> nameCharacters() {
    std::vector<std::wstring> characters;
    for (unsigned unit = 0x20; unit < 0x10000; ++unit) {
        if ((unit >= 0xD800 && unit < 0xE000) ||
            std::wstring(L"<>:\"/\\|?*. ").find(static_cast<wchar_t>(unit)) != std::wstring::npos) {
            continue;
        }
        const std::wstring wide(1, static_cast<wchar_t>(unit));
        const std::string bytes = to932(wide);
        if (bytes != "?" && from932(bytes) == wide) {
            characters.push_back(wide);
        }
    }
    return characters;
}

}  // namespace

int main() {
    const std::wstring folder = L"case_fold_check." + std::to_wstring(GetCurrentProcessId());
    if (!CreateDirectoryW(folder.c_str(), nullptr)) {
        std::printf("cannot create the folder to check in\n");
        return 1;
    }
    std::map<std::string, std::string> made;  // folded form -> the character made with it
    std::vector<std::wstring> toRemove;
    int refused = 0;
    int taken = 0;
    const std::vector<std::wstring> characters = nameCharacters();
    for (const std::wstring& character : characters) {
        const std::wstring path = folder + L"\\" + character;
        const std::string bytes = to932(character);
        const std::string folded = foldLetterCase(bytes);
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            toRemove.push_back(path);
            auto same = made.find(folded);
            if (same != made.end()) {
                report(bytes, same->second, "the file system tells them apart, the fold does not");
            }
            made.emplace(folded, bytes);
            continue;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ++refused;
            continue;
        }
        ++taken;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(path.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            report(bytes, "", "exists, but cannot be found");
            continue;
        }
        FindClose(search);
        const std::string existing = to932(found.cFileName);
        if (foldLetterCase(existing) != folded) {
            report(bytes, existing, "the file system takes them for one name, the fold does not");
        }
    }
    for (const std::wstring& path : toRemove) {
        RemoveDirectoryW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
    std::printf(
        "%zu characters: %zu folders made, %d taken for an earlier one, %d refused; %d differ\n",
        characters.size(), made.size(), taken, refused, mismatches);
    return mismatches == 0 ? 0 : 1;
}
