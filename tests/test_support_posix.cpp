// The POSIX side of the test support: the program is started through the shell, and file
// names stay UTF-8.
#include <sys/resource.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include "tests/test_support.h"

namespace testing_support {

std::filesystem::path toPath(const std::string& bytes) {
    return bytes;
}

std::string fromPath(const std::filesystem::path& path) {
    return path.generic_string();
}

bool makeFolderLink(const std::string& link, const std::string& target) {
    std::error_code error;
    std::filesystem::create_directory_symlink(target, link, error);
    return !error;
}

bool limitFileWrites(long long bytes) {
    struct rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0) {
        return false;
    }
    limit.rlim_cur = bytes < 0 ? limit.rlim_max : static_cast<rlim_t>(bytes);
    // Past the limit a write then fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    return setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

RunResult runProgram(const std::vector<std::string>& arguments) {
    // A run that hangs is ended, so that its test fails rather than waits forever.
    std::string command = "timeout 300";
    std::vector<std::string> words = {BUNKAI_EXE};
    words.insert(words.end(), arguments.begin(), arguments.end());
    for (const std::string& word : words) {
        command += " '";
        for (const char c : word) {
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        command += '\'';
    }
    RunResult result;
    std::FILE* output = popen((command + " </dev/null").c_str(), "r");
    if (!output) {
        ADD_FAILURE() << "cannot start " << command;
        return result;
    }
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, output)) > 0;) {
        result.output.append(buffer, got);
    }
    const int status = pclose(output);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace testing_support
