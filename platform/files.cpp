// The part of files.h that is the same on every system.
#include "platform/files.h"

namespace platform {

bool commitReplacementFile(std::FILE* file, const std::string& replacementPath,
                           const std::string& target, bool complete) {
    // The last bytes may only reach the disk when the file is closed, so a failing close
    // means the file is incomplete too.
    bool closed = std::fclose(file) == 0;
    if (complete && closed && replaceFile(replacementPath, target)) {
        return true;
    }
    removeFile(replacementPath);
    return false;
}

}  // namespace platform
