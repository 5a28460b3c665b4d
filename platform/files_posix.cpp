#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/files.h"

namespace platform {

bool makeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

std::FILE* openFile(const std::string& path, const char* mode) {
    return std::fopen(path.c_str(), mode);
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
    return std::rename(source.c_str(), target.c_str()) == 0;
}

bool removeFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool pathExists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

std::string folderIdentity(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return {};
    }
    return std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino);
}

std::string localFilePath(const std::string& urlPath) {
    return urlPath;
}

namespace {

// Only a regular file is read: a device such as /dev/zero never ends, and a named pipe
// that nobody writes to blocks even the opening, unless that does not wait. O_NONBLOCK
// changes nothing for the reads of a regular file, so it stays set.
std::FILE* openRegularFile(const std::string& path, long long& size) {
    int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return nullptr;
    }
    struct stat info;
    std::FILE* file = nullptr;
    if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
        file = ::fdopen(descriptor, "rb");
    }
    if (!file) {
        ::close(descriptor);
        return nullptr;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    size = static_cast<long long>(info.st_size);
    return file;
}

}  // namespace

std::FILE* openMusicFile(const std::string& localPath, long long& size) {
    // A file URL's path is absolute: looking it up from the root first opens the music file
    // of a real export with one call.
    if (!localPath.empty() && localPath[0] != '/') {
        if (std::FILE* file = openRegularFile("/" + localPath, size)) {
            return file;
        }
    }
    return openRegularFile(localPath, size);
}

}  // namespace platform
