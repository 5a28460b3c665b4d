// The POSIX side of the test support: file names stay UTF-8.
#include "tests/test_support.h"

namespace testing_support {

std::filesystem::path toPath(const std::string& bytes) {
    return bytes;
}

std::string fromPath(const std::filesystem::path& path) {
    return path.generic_string();
}

}  // namespace testing_support
