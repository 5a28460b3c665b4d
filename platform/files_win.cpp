#include <direct.h>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/code_page.h"
#include "platform/files.h"

namespace platform {

namespace {

// True when every folder level of `path` before its last is a folder and none is a junction,
// a symbolic link or another reparse point: a link planted anywhere in the output tree could
// otherwise lead outside the working folder. Levels are split at '/' only, the separator of
// the program's own paths (a '\\' byte may be the second byte of a code page 932 character).
// errno is ENOENT for a missing level, EACCES for one that is no plain folder.
bool foldersWithoutLinks(const std::string& path) {
    for (std::size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const DWORD attributes = GetFileAttributesA(path.substr(0, slash).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            errno = ENOENT;
            return false;
        }
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            errno = EACCES;
            return false;
        }
    }
    return true;
}

// Opens one of the program's own files with CreateFile's `access` and `disposition`, the
// link itself rather than what it names, and keeps it only when it is a plain file on a
// disk; `descriptorFlags` and `mode` make the stream. With `truncate` the file is emptied
// once it is known to be such a file. nullptr with errno ENOENT (missing), EEXIST (there
// already, for CREATE_NEW) or EACCES.
std::FILE* openOwnFile(const std::string& path, DWORD access, DWORD disposition,
                       int descriptorFlags, const char* mode, bool truncate) {
    if (!foldersWithoutLinks(path)) {
        return nullptr;
    }
    HANDLE handle =
        CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT
                : error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS  ? EEXIST
                                                                               : EACCES;
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        (truncate && !SetEndOfFile(handle))) {
        CloseHandle(handle);
        errno = EACCES;
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), descriptorFlags);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, mode);
    if (!file) {
        _close(descriptor);
    }
    return file;
}

}  // namespace

bool makeFolder(const std::string& path) {
    if (!fileOperationAllowed()) {
        return false;
    }
    return foldersWithoutLinks(path) && _mkdir(path.c_str()) == 0;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    if (!fileOperationAllowed()) {
        return nullptr;
    }
    const bool both = std::strchr(mode, '+') != nullptr;
    const DWORD access = both             ? GENERIC_READ | GENERIC_WRITE
                         : mode[0] == 'r' ? GENERIC_READ
                                          : GENERIC_WRITE;
    const int descriptorFlags = _O_BINARY |
                                (both             ? _O_RDWR
                                 : mode[0] == 'r' ? _O_RDONLY
                                                  : _O_WRONLY) |
                                (mode[0] == 'a' ? _O_APPEND : 0);
    return openOwnFile(path, access, mode[0] == 'r' ? OPEN_EXISTING : OPEN_ALWAYS, descriptorFlags,
                       mode, mode[0] == 'w');
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    std::FILE* file = openFile(path, "rb");
    if (!file) {
        return false;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    static char block[1 << 16];
    bytes.clear();
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.append(block, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    errno = failed ? EIO : 0;
    return !failed;
}

std::FILE* createNewFile(const std::string& path) {
    if (!fileOperationAllowed()) {
        return nullptr;
    }
    return openOwnFile(path, GENERIC_WRITE, CREATE_NEW, _O_BINARY | _O_WRONLY, "wb", false);
}

std::FILE* createReplacementFile(const std::string& target, std::string& replacementPath) {
    if (!fileOperationAllowed()) {
        return nullptr;
    }
    // The process id keeps runs apart; a name left by an earlier process with the same id
    // is passed over.
    for (int attempt = 0; attempt < 100; ++attempt) {
        replacementPath = target + '.' + std::to_string(GetCurrentProcessId()) + '-' +
                          std::to_string(attempt) + ".bunkai-new";
        std::FILE* file = openOwnFile(replacementPath, GENERIC_WRITE, CREATE_NEW,
                                      _O_BINARY | _O_WRONLY, "wb", false);
        if (file || errno != EEXIST) {
            return file;
        }
    }
    return nullptr;
}

bool seekFile(std::FILE* file, long long offset) {
    return offset >= 0 && _fseeki64(file, offset, SEEK_SET) == 0;
}

bool replaceFile(const std::string& source, const std::string& target) {
    if (!fileOperationAllowed()) {
        return false;
    }
    // An indexer or a virus scanner may hold the list open for a moment; the move fails
    // while it does, so try a few times before giving up.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (MoveFileExA(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

bool removeFile(const std::string& path) {
    if (!fileOperationAllowed()) {
        return false;
    }
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
           foldersWithoutLinks(path) && _unlink(path.c_str()) == 0;
}

bool pathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool folderExists(const std::string& path) {
    return !folderIdentity(path).empty();
}

std::string folderIdentity(const std::string& path) {
    if (!foldersWithoutLinks(path)) {
        return {};
    }
    HANDLE folder = CreateFileA(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileInformationByHandle(folder, &info) != 0;
    CloseHandle(folder);
    if (!known || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return {};
    }
    return std::to_string(info.dwVolumeSerialNumber) + ':' + std::to_string(info.nFileIndexHigh) +
           ':' + std::to_string(info.nFileIndexLow);
}

void toLocalFilePath(std::string& path) {
    path = utf8ToCodePage932(path);
    path.resize(std::min(path.size(), path.find('\0')));
}

namespace {

// Only a file on a disk is read: a device such as CON or COM1 may never end. `size`, when
// given, receives the file's size, and the stream is left unbuffered for the picture scan's
// large blocks.
std::FILE* openDiskFile(const std::string& path, long long* size) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file) {
        HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
        LARGE_INTEGER length;
        if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
            !GetFileSizeEx(handle, &length)) {
            std::fclose(file);
            return nullptr;
        }
        if (size) {
            std::setvbuf(file, nullptr, _IONBF, 0);
            *size = length.QuadPart;
        }
    }
    return file;
}

}  // namespace

std::FILE* openInputFile(const std::string& path) {
    return openDiskFile(path, nullptr);
}

std::FILE* openMusicFile(const std::string& localPath, long long& size) {
    return openDiskFile(localPath, &size);
}

}  // namespace platform
