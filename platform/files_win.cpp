#include <direct.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/code_page.h"
#include "platform/files.h"

namespace platform {

bool makeFolder(const std::string& path) {
    return _mkdir(path.c_str()) == 0;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
}

bool seekFile(std::FILE* file, long long offset) {
    return offset >= 0 && _fseeki64(file, offset, SEEK_SET) == 0;
}

bool replaceFile(const std::string& source, const std::string& target) {
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
    return _unlink(path.c_str()) == 0;
}

bool pathExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string folderIdentity(const std::string& path) {
    HANDLE folder =
        CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        return {};
    }
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileInformationByHandle(folder, &info) != 0;
    CloseHandle(folder);
    if (!known || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return {};
    }
    return std::to_string(info.dwVolumeSerialNumber) + ':' + std::to_string(info.nFileIndexHigh) +
           ':' + std::to_string(info.nFileIndexLow);
}

std::string localFilePath(const std::string& urlPath) {
    std::string path = utf8ToCodePage932(urlPath);
    return path.substr(0, path.find('\0'));
}

std::FILE* openMusicFile(const std::string& localPath, long long& size) {
    // Only a file on a disk is read: a device such as CON or COM1 may never end.
    std::FILE* file = std::fopen(localPath.c_str(), "rb");
    if (file) {
        HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
        LARGE_INTEGER length;
        if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
            !GetFileSizeEx(handle, &length)) {
            std::fclose(file);
            return nullptr;
        }
        std::setvbuf(file, nullptr, _IONBF, 0);
        size = length.QuadPart;
    }
    return file;
}

}  // namespace platform
