// The Windows side of the test support: the program is started with CreateProcess, its
// console texts are code page 932, and file names are bytes of the ANSI code page, which
// is 932 on the Japanese Windows the program is made for.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/code_page.h"
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

// main's -1: Windows keeps the whole value as the exit code 0xFFFFFFFF.
const int kFailureExitStatus = -1;

std::string consoleText(const std::string& utf8) {
    std::string text;
    for (const char c : platform::utf8ToCodePage932(utf8)) {
        if (c == '\n') {
            text += '\r';
        }
        text += c;
    }
    return text;
}

std::string localName(const std::string& utf8) {
    return platform::utf8ToCodePage932(utf8);
}

std::string localPathOfUrl(const std::string& urlPath) {
    return platform::utf8ToCodePage932(urlPath);
}

std::filesystem::path toPath(const std::string& bytes) {
    if (bytes.empty()) {
        return {};
    }
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, &wide[0], length);
    return wide;
}

std::string fromPath(const std::filesystem::path& path) {
    const std::wstring wide = path.generic_wstring();
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &bytes[0], length, nullptr, nullptr);
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

bool limitFileWrites(long long) {
    return false;
}

RunResult runProgram(const std::vector<std::string>& arguments) {
    RunResult result;
    std::string commandLine = quoted(BUNKAI_EXE);
    for (const std::string& argument : arguments) {
        commandLine += ' ' + quoted(argument);
    }

    // Standard input is a pipe whose writing end is closed at once: empty, and no console,
    // so the key wait after the usage text must return by itself.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE inputRead, inputWrite, outputRead, outputWrite;
    if (!CreatePipe(&inputRead, &inputWrite, &inheritable, 0)) {
        ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
        return result;
    }
    if (!CreatePipe(&outputRead, &outputWrite, &inheritable, 0)) {
        ADD_FAILURE() << "CreatePipe failed: " << GetLastError();
        CloseHandle(inputRead);
        CloseHandle(inputWrite);
        return result;
    }
    SetHandleInformation(inputWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outputRead, HANDLE_FLAG_INHERIT, 0);
    CloseHandle(inputWrite);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    const DWORD startError = GetLastError();
    CloseHandle(inputRead);
    CloseHandle(outputWrite);
    if (!started) {
        CloseHandle(outputRead);
        ADD_FAILURE() << "cannot start " << commandLine << ": error " << startError;
        return result;
    }

    char buffer[4096];
    DWORD got;
    while (ReadFile(outputRead, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        result.output.append(buffer, got);
    }
    CloseHandle(outputRead);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    result.exitStatus = static_cast<int>(exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}

}  // namespace testing_support
