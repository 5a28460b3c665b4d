#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/lock.h"

namespace platform {

namespace {

int descriptorOf(void* handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle)) - 1;
}

}  // namespace

WorkingFolderLock::WorkingFolderLock() {
    // Reading is enough for flock, and opens an existing lock file on a read-only disk too.
    // O_NONBLOCK keeps a named pipe at the name from blocking the opening.
    int descriptor =
        ::open(kLockName, O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
    if (descriptor < 0) {
        return;
    }
    struct stat info;
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        return;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        state_ = errno == EWOULDBLOCK ? LockState::busy : LockState::unavailable;
        ::close(descriptor);
        return;
    }
    state_ = LockState::held;
    handle_ = reinterpret_cast<void*>(static_cast<std::intptr_t>(descriptor) + 1);
}

WorkingFolderLock::~WorkingFolderLock() {
    if (handle_) {
        ::close(descriptorOf(handle_));
    }
}

}  // namespace platform
