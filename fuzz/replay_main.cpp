// Replays inputs through a fuzz target without libFuzzer, so that the committed corpora run
// as ordinary tests with any compiler: every file named on the command line, and every file
// in every folder named there, in name order. Each input runs in a process of its own, so a
// failing input neither hides the inputs after it nor leaves state behind for them, and an
// input that hangs is stopped and reported.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

// Far beyond what any input of a committed corpus needs (milliseconds), short enough that a
// hang fails the test well before the test's own time limit.
constexpr unsigned kSecondsPerInput = 30;

std::vector<fs::path> collectInputs(int argc, char** argv) {
    // Absolute paths, because targets that work in a scratch folder change the working
    // folder on their first input.
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path named = fs::absolute(argv[i]);
        if (fs::is_directory(named)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(named)) {
                if (entry.is_regular_file()) {
                    inputs.push_back(entry.path());
                }
            }
        } else {
            inputs.push_back(named);
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

[[noreturn]] void runInput(const fs::path& input) {
    alarm(kSecondsPerInput);
    std::ifstream in(input, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", input.string().c_str());
        std::exit(1);
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    std::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<fs::path> inputs = collectInputs(argc, argv);
    // An empty or misnamed corpus must not pass as a test that replayed nothing.
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }
    std::size_t failed = 0;
    for (const fs::path& input : inputs) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child < 0) {
            std::perror("fork");
            return 1;
        }
        if (child == 0) {
            runInput(input);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            continue;
        }
        ++failed;
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
            std::fprintf(stderr, "HANGS (over %u s): %s\n", kSecondsPerInput,
                         input.string().c_str());
        } else {
            std::fprintf(stderr, "FAILS: %s\n", input.string().c_str());
        }
    }
    std::fprintf(stderr, "replayed %zu inputs, %zu failed\n", inputs.size(), failed);
    return failed == 0 ? 0 : 1;
}
