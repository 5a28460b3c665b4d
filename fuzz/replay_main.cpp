// Replays a corpus through a fuzz target without libFuzzer, so that it runs as an ordinary
// test with any compiler: every file of the folder named on the command line, one after
// another in one process as libFuzzer runs them. The last name printed before a failure is
// the failing input's.
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    // An empty corpus must not pass as a test that replayed nothing.
    check(argc == 2 && !fs::is_empty(argv[1]), "usage: <target>_replay CORPUS_FOLDER (not empty)");
    // An absolute path, because the targets change the working folder on their first input.
    for (const fs::directory_entry& input : fs::directory_iterator(fs::absolute(argv[1]))) {
        std::fprintf(stderr, "%s\n", input.path().c_str());
        const std::string bytes = readWholeFile(input.path());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    return 0;
}
