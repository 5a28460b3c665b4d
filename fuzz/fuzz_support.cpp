#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace fuzzing {

namespace {

fs::path scratchParent;
fs::path scratchFolder;

void removeScratchParent() {
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(ignored), ignored);
    fs::remove_all(scratchParent, ignored);
}

}  // namespace

void check(bool condition, const std::string& what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
        std::abort();
    }
}

void startInScratchFolder() {
    if (scratchFolder.empty()) {
        std::string pattern = (fs::temp_directory_path() / "bunkai-fuzz-XXXXXX").string();
        check(::mkdtemp(pattern.data()) != nullptr, "cannot create the scratch parent folder");
        scratchParent = pattern;
        scratchFolder = scratchParent / "work";
        fs::create_directory(scratchFolder);
        fs::current_path(scratchFolder);
        std::atexit(removeScratchParent);
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(scratchFolder)) {
        fs::remove_all(entry.path());
    }
}

void checkNothingOutside() {
    check(fs::current_path() == scratchFolder, "the working folder changed");
    for (const fs::directory_entry& entry : fs::directory_iterator(scratchParent)) {
        check(entry.path() == scratchFolder, "something was created beside the working folder");
    }
}

std::vector<std::string> filesBelow() {
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(".")) {
        if (!entry.is_directory()) {
            files.push_back(entry.path().lexically_relative(".").generic_string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    check(in.good(), "cannot open a file to read it back");
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(out.good(), "cannot write a file of the input");
}

}  // namespace fuzzing
