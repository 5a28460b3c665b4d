#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#ifdef SYS_openat2
#include <linux/openat2.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace platform {

namespace {

#ifdef O_PATH
const int kFolderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#else
const int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#endif

// A folder opened by openParentFolder; AT_FDCWD stands for the working folder itself.
void closeFolder(int folder) {
    if (folder >= 0) {
        ::close(folder);
    }
}

// openWithoutLinks on systems without a call that does it in one step: one level at a time
// from the working folder (from the root for an absolute path).
int walkWithoutLinks(const std::string& path, int flags, mode_t mode) {
    std::size_t at = 0;
    int folder = AT_FDCWD;
    if (!path.empty() && path[0] == '/') {
        folder = ::open("/", kFolderFlags);
        at = 1;
    }
    std::size_t slash;
    while (folder != -1 && (slash = path.find('/', at)) != std::string::npos) {
        if (slash > at) {
            int next = ::openat(folder, path.substr(at, slash - at).c_str(), kFolderFlags);
            int error = errno;
            closeFolder(folder);
            errno = error;
            folder = next;
        }
        at = slash + 1;
    }
    if (folder == -1) {
        return -1;
    }
    int descriptor = ::openat(folder, path.c_str() + at, flags | O_NOFOLLOW, mode);
    int error = errno;
    closeFolder(folder);
    errno = error;
    return descriptor;
}

// Opens `path` with `flags` without following a link at any level of it: a link planted
// anywhere in the output tree could otherwise lead outside the working folder. -1 (errno
// set: ELOOP for a link) on failure.
int openWithoutLinks(const std::string& path, int flags) {
    const mode_t mode = (flags & O_CREAT) ? 0666 : 0;
#ifdef RESOLVE_NO_SYMLINKS
    // Linux resolves the whole path in one call. Older kernels lack it (ENOSYS), and some
    // container sandboxes refuse calls they do not know (EPERM): the walk then does it. Both
    // of the run's threads may come here.
    static std::atomic<bool> walkInstead{false};
    if (!walkInstead) {
        struct open_how how = {};
        how.flags = static_cast<unsigned long long>(flags | O_NOFOLLOW);
        how.mode = mode;
        how.resolve = RESOLVE_NO_SYMLINKS;
        long descriptor = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
        if (descriptor >= 0 || (errno != ENOSYS && errno != EPERM)) {
            return static_cast<int>(descriptor);
        }
        walkInstead = true;
    }
#endif
    return walkWithoutLinks(path, flags, mode);
}

// Opens the folder that holds the last level of `path`, with no link followed on the way.
// `leaf` receives the last level's name. -1 when a level is missing, is no folder or is a
// link (errno says which); else a descriptor for closeFolder.
int openParentFolder(const std::string& path, std::string& leaf) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        leaf = path;
        return AT_FDCWD;
    }
    leaf = path.substr(slash + 1);
    return openWithoutLinks(slash == 0 ? "/" : path.substr(0, slash), kFolderFlags);
}

#ifdef __GLIBC__
// A stream for writing over a descriptor, without the descriptor's flags being asked for
// again (as fdopen does) or its size for a buffer (as the first buffered write does): two
// calls for every one of the tens of thousands of files a run writes. Streams that read
// stay fdopen's: this library reads such a stream, when unbuffered, a byte at a time.
ssize_t writeDescriptor(void* cookie, const char* data, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        ssize_t put = ::write(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), data + written,
                              size - written);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            // A short count marks the stream as failed.
            return static_cast<ssize_t>(written);
        }
        written += static_cast<std::size_t>(put);
    }
    return static_cast<ssize_t>(written);
}

int seekDescriptor(void* cookie, off64_t* position, int whence) {
    const off64_t moved =
        ::lseek64(static_cast<int>(reinterpret_cast<intptr_t>(cookie)), *position, whence);
    if (moved < 0) {
        return -1;
    }
    *position = moved;
    return 0;
}

int closeDescriptor(void* cookie) {
    return ::close(static_cast<int>(reinterpret_cast<intptr_t>(cookie)));
}

std::FILE* streamOf(int descriptor, const char* mode) {
    static const cookie_io_functions_t functions = {nullptr, writeDescriptor, seekDescriptor,
                                                    closeDescriptor};
    if (mode[0] == 'r' || std::strchr(mode, '+') != nullptr) {
        return ::fdopen(descriptor, mode);
    }
    return ::fopencookie(reinterpret_cast<void*>(static_cast<intptr_t>(descriptor)), mode,
                         functions);
}
#else
std::FILE* streamOf(int descriptor, const char* mode) {
    return ::fdopen(descriptor, mode);
}
#endif

// Takes over an open descriptor as a stream in `mode` when it is a regular file: a named pipe
// or a device in place of one of the program's files would block or never end. The
// descriptor was opened without waiting; for a regular file that changes nothing, so it
// stays so. With `truncate` the file is emptied once it is known to be a regular file;
// `size`, when given, receives its size. nullptr (errno set, the descriptor closed)
// otherwise.
std::FILE* adoptRegularFile(int descriptor, const char* mode, bool truncate,
                            long long* size = nullptr) {
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat info;
    std::FILE* file = nullptr;
    int error = EINVAL;
    if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode) &&
        (!truncate || ::ftruncate(descriptor, 0) == 0)) {
        file = streamOf(descriptor, mode);
        error = errno;
    }
    if (!file) {
        ::close(descriptor);
        errno = error;
    } else if (size) {
        *size = static_cast<long long>(info.st_size);
    }
    return file;
}

// Opens the program's own file `path` with `flags`, without waiting and without following
// a link.
int openOwnFile(const std::string& path, int flags) {
    return openWithoutLinks(path, flags | O_NONBLOCK | O_CLOEXEC);
}

// Creates `path` exclusively, unbuffered: its writers hand over whole texts and pictures,
// and a stream buffer would only cost a copy. nullptr (errno set) on failure.
std::FILE* createExclusively(const std::string& path) {
    int descriptor = openOwnFile(path, O_WRONLY | O_CREAT | O_EXCL);
    if (descriptor < 0) {
        return nullptr;
    }
    // Created here and now, so a regular file: there is nothing to check.
    std::FILE* file = streamOf(descriptor, "wb");
    if (!file) {
        ::close(descriptor);
        removeFile(path);
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

}  // namespace

bool makeFolder(const std::string& path) {
    if (!fileOperationAllowed()) {
        return false;
    }
    std::string leaf;
    int folder = openParentFolder(path, leaf);
    if (folder == -1) {
        return false;
    }
    bool made = ::mkdirat(folder, leaf.c_str(), 0777) == 0;
    closeFolder(folder);
    return made;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    if (!fileOperationAllowed()) {
        return nullptr;
    }
    const std::string text = mode;
    const bool both = text.find('+') != std::string::npos;
    int flags = both ? O_RDWR : mode[0] == 'r' ? O_RDONLY : O_WRONLY;
    if (mode[0] == 'w' || mode[0] == 'a') {
        flags |= O_CREAT;
    }
    if (mode[0] == 'a') {
        flags |= O_APPEND;
    }
    return adoptRegularFile(openOwnFile(path, flags), mode, mode[0] == 'w');
}

bool readWholeFile(const std::string& path, std::string& bytes) {
    if (!fileOperationAllowed()) {
        return false;
    }
    const int descriptor = openOwnFile(path, O_RDONLY);
    if (descriptor < 0) {
        return false;
    }
    struct stat info;
    if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(descriptor);
        errno = EINVAL;
        return false;
    }
    // A rerun reads every list: each with one read of one byte more than its size, which
    // comes back short at the end of the file, so that no second read is needed to see it.
    // A read that comes back short before the size (some file systems do that) is followed
    // by more, up to the end.
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t have = 0;
    int error = 0;
    for (;;) {
        if (have == bytes.size()) {
            bytes.resize(bytes.size() * 2);  // the file grew meanwhile
        }
        const ssize_t got = ::read(descriptor, &bytes[have], bytes.size() - have);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = errno;
        }
        if (got <= 0) {
            break;
        }
        have += static_cast<std::size_t>(got);
        if (have < bytes.size() && have >= static_cast<std::size_t>(info.st_size)) {
            break;
        }
    }
    ::close(descriptor);
    bytes.resize(have);
    errno = error;
    return error == 0;
}

std::FILE* createNewFile(const std::string& path) {
    if (!fileOperationAllowed()) {
        return nullptr;
    }
    return createExclusively(path);
}

std::FILE* createReplacementFile(const std::string& target, std::string& replacementPath) {
    if (!fileOperationAllowed()) {
        return nullptr;
    }
    // The process id keeps runs apart; a name left by an earlier process with the same id
    // is passed over.
    static const std::string processId = std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        replacementPath = target + '.' + processId + '-' + std::to_string(attempt) + ".bunkai-new";
        if (std::FILE* file = createExclusively(replacementPath)) {
            return file;
        }
        if (errno != EEXIST) {
            return nullptr;
        }
    }
    return nullptr;
}

bool seekFile(std::FILE* file, long long offset) {
    // A build whose off_t is 32 bits cannot express larger offsets; refuse them rather than
    // seek to a wrapped-around position.
    const off_t position = static_cast<off_t>(offset);
    if (offset < 0 || static_cast<long long>(position) != offset) {
        return false;
    }
    return ::fseeko(file, position, SEEK_SET) == 0;
}

bool replaceFile(const std::string& source, const std::string& target) {
    if (!fileOperationAllowed()) {
        return false;
    }
    std::string sourceLeaf;
    std::string targetLeaf;
    int sourceFolder = openParentFolder(source, sourceLeaf);
    // Mostly both lie in one folder, which is then opened once.
    const std::size_t targetFolderLength = target.rfind('/') + 1;  // 0 without a '/'
    const bool oneFolder =
        source.compare(0, source.size() - sourceLeaf.size(), target, 0, targetFolderLength) == 0;
    int targetFolder = sourceFolder;
    if (oneFolder) {
        targetLeaf = target.substr(targetFolderLength);
    } else {
        targetFolder = openParentFolder(target, targetLeaf);
    }
    bool moved =
        sourceFolder != -1 && targetFolder != -1 &&
        ::renameat(sourceFolder, sourceLeaf.c_str(), targetFolder, targetLeaf.c_str()) == 0;
    closeFolder(sourceFolder);
    if (!oneFolder) {
        closeFolder(targetFolder);
    }
    return moved;
}

bool removeFile(const std::string& path) {
    if (!fileOperationAllowed()) {
        return false;
    }
    std::string leaf;
    int folder = openParentFolder(path, leaf);
    struct stat info;
    bool removed = folder != -1 &&
                   ::fstatat(folder, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                   S_ISREG(info.st_mode) && ::unlinkat(folder, leaf.c_str(), 0) == 0;
    closeFolder(folder);
    return removed;
}

bool pathExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

bool folderExists(const std::string& path) {
    // One call, and one more to close what it opened.
    const int folder = openWithoutLinks(path, kFolderFlags);
    closeFolder(folder);
    return folder >= 0;
}

std::string folderIdentity(const std::string& path) {
    std::string leaf;
    int folder = openParentFolder(path, leaf);
    struct stat info;
    bool known = folder != -1 && ::fstatat(folder, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                 S_ISDIR(info.st_mode);
    closeFolder(folder);
    if (!known) {
        return {};
    }
    return std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino);
}

void toLocalFilePath(std::string&) {}

std::FILE* openInputFile(const std::string& path) {
    return adoptRegularFile(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC), "rb", false);
}

std::FILE* openMusicFile(const std::string& localPath, long long& size) {
    auto open = [&size](const std::string& path) {
        std::FILE* file = adoptRegularFile(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC),
                                           "rb", false, &size);
        if (file) {
            // The scan reads large blocks of its own.
            std::setvbuf(file, nullptr, _IONBF, 0);
        }
        return file;
    };
    // A file URL's path is absolute: looking it up from the root first opens the music file
    // of a real export with one call.
    if (!localPath.empty() && localPath[0] != '/') {
        if (std::FILE* file = open("/" + localPath)) {
            return file;
        }
    }
    return open(localPath);
}

}  // namespace platform
