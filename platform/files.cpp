// The part of files.h that is the same on every system.
#include "platform/files.h"

#include <cerrno>
#include <cstdlib>

namespace platform {

namespace {

FileFault plannedFault = FileFault::fail;
long long plannedOperation = 0;
long long operationsCounted = 0;

}  // namespace

void planFileFault(FileFault fault, long long operation) {
    plannedFault = fault;
    plannedOperation = operation;
    operationsCounted = 0;
}

long long fileOperationsCounted() {
    return operationsCounted;
}

bool fileOperationAllowed() {
    if (++operationsCounted != plannedOperation) {
        return true;
    }
    if (plannedFault == FileFault::stop) {
        std::_Exit(kStoppedByFault);
    }
    errno = ENOSPC;
    return false;
}

bool writeFile(std::FILE* file, const void* data, std::size_t size) {
    if (operationsCounted + 1 == plannedOperation) {
        // A disk that fills up takes what still fits, and a kill during a write leaves what
        // the system took: a write planned to fail or stop writes half of its bytes first.
        std::fwrite(data, 1, size / 2, file);
        if (plannedFault == FileFault::stop) {
            std::fflush(file);
        }
    }
    return fileOperationAllowed() && std::fwrite(data, 1, size, file) == size;
}

bool flushFile(std::FILE* file) {
    return fileOperationAllowed() && std::fflush(file) == 0;
}

bool closeFile(std::FILE* file) {
    const bool allowed = fileOperationAllowed();
    return std::fclose(file) == 0 && allowed;
}

bool commitReplacementFile(std::FILE* file, const std::string& replacementPath,
                           const std::string& target, bool complete) {
    // The last bytes may only reach the disk when the file is closed, so a failing close
    // means the file is incomplete too.
    bool closed = closeFile(file);
    if (complete && closed && replaceFile(replacementPath, target)) {
        return true;
    }
    removeFile(replacementPath);
    return false;
}

}  // namespace platform
