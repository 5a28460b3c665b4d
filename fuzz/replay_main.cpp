// Replays inputs through a fuzz target without libFuzzer, so that the committed corpora run
// as ordinary tests with any compiler: every file in the folders named on the command line,
// one after another in one process, as libFuzzer runs them. A failing input stops the
// replay; the last name printed is that input's.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    // Absolute paths, because the targets change the working folder on their first input.
    std::set<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        for (const auto& entry :
             std::filesystem::directory_iterator(std::filesystem::absolute(argv[i]))) {
            inputs.insert(entry.path());
        }
    }
    for (const std::filesystem::path& input : inputs) {
        std::fprintf(stderr, "%s\n", input.string().c_str());
        std::ifstream in(input, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        if (!in) {
            std::fprintf(stderr, "cannot read it\n");
            return 1;
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    // An empty or misnamed corpus must not pass as a test that replayed nothing.
    return inputs.empty() ? 1 : 0;
}
