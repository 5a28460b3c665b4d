#include <windows.h>

#include "platform/lock.h"

namespace platform {

WorkingFolderLock::WorkingFolderLock() {
    // Others may open the file (a virus scanner does); the lock is the byte range below.
    // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself rather than what it points to, and a
    // link is then refused like any file that is not a plain one.
    HANDLE file = CreateFileA(
        kLockName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(file);
        return;
    }
    OVERLAPPED whole = {};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        state_ = GetLastError() == ERROR_LOCK_VIOLATION ? LockState::busy : LockState::unavailable;
        CloseHandle(file);
        return;
    }
    state_ = LockState::held;
    handle_ = file;
}

WorkingFolderLock::~WorkingFolderLock() {
    if (handle_) {
        CloseHandle(static_cast<HANDLE>(handle_));
    }
}

}  // namespace platform
