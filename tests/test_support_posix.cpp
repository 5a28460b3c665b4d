// The POSIX side of the test support: the program is started with fork and exec, and text
// and file names stay UTF-8.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>

#include "tests/test_support.h"

namespace testing_support {

// main's -1, as the low byte that a POSIX exit status keeps.
const int kFailureExitStatus = 255;

std::string consoleText(const std::string& utf8) {
    return utf8;
}

std::string localName(const std::string& utf8) {
    return utf8;
}

std::string localPathOfUrl(const std::string& urlPath) {
    return urlPath;
}

std::filesystem::path toPath(const std::string& bytes) {
    return bytes;
}

std::string fromPath(const std::filesystem::path& path) {
    return path.generic_string();
}

bool makeFolderLink(const std::string& link, const std::string& target) {
    return symlink(target.c_str(), link.c_str()) == 0;
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
    RunResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }
    pid_t child = fork();
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return result;
    }
    if (child == 0) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDOUT_FILENO);
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        // A run that hangs is ended, so that its test fails rather than waits forever.
        alarm(300);
        std::vector<char*> argv;
        std::string exe = BUNKAI_EXE;
        argv.push_back(exe.data());
        std::vector<std::string> copies = arguments;
        for (std::string& argument : copies) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        result.output.append(buffer, static_cast<size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace testing_support
