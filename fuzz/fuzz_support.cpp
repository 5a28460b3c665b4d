#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace fuzzing {

namespace {

const char* context = nullptr;
fs::path scratchParent;
fs::path scratchFolder;

void removeScratchParent() {
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(ignored), ignored);
    fs::remove_all(scratchParent, ignored);
}

// The decimal number at `at`, which must be there and end in ",". Moves `at` past the ",".
bool readLength(const std::string& row, std::size_t& at, std::size_t& length) {
    std::size_t start = at;
    length = 0;
    while (at < row.size() && row[at] >= '0' && row[at] <= '9') {
        length = length * 10 + static_cast<std::size_t>(row[at] - '0');
        if (length > row.size()) {
            return false;
        }
        ++at;
    }
    if (at == start || at >= row.size() || row[at] != ',') {
        return false;
    }
    ++at;
    return true;
}

bool wellFormedRow(const std::string& row, RowShape shape) {
    std::size_t at = 0;
    std::size_t keyLength;
    std::size_t shownLength;
    if (!readLength(row, at, keyLength) || !readLength(row, at, shownLength)) {
        return false;
    }
    at += keyLength;
    if (at >= row.size() || row[at] != ',') {
        return false;
    }
    at += 1 + shownLength;
    if (shape == RowShape::index) {
        return at == row.size();
    }
    return at < row.size() && row[at] == ',';
}

}  // namespace

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s%s%s\n", what, context ? ", in the " : "",
                     context ? context : "");
        std::fflush(stderr);
        std::abort();
    }
}

void setContext(const char* step) {
    context = step;
}

std::string bytesOf(const std::uint8_t* data, std::size_t size) {
    return size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}

void enterScratchFolder() {
    if (!scratchFolder.empty()) {
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "bunkai-fuzz-XXXXXX").string();
    check(::mkdtemp(pattern.data()) != nullptr, "cannot create the scratch parent folder");
    scratchParent = pattern;
    scratchFolder = scratchParent / "work";
    fs::create_directory(scratchFolder);
    fs::current_path(scratchFolder);
    std::atexit(removeScratchParent);
}

void clearScratchFolder() {
    for (const fs::directory_entry& entry : fs::directory_iterator(scratchFolder)) {
        fs::remove_all(entry.path());
    }
}

void startInScratchFolder() {
    enterScratchFolder();
    clearScratchFolder();
}

void checkNothingOutside() {
    check(fs::current_path() == scratchFolder, "the working folder changed");
    std::vector<fs::path> besides;
    for (const fs::directory_entry& entry : fs::directory_iterator(scratchParent)) {
        besides.push_back(entry.path().filename());
    }
    check(besides.size() == 1 && besides[0] == "work",
          "something was created beside the working folder");
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

bool pathExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
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

void checkListFile(const std::string& path, const std::string& stored, RowShape shape) {
    check(!stored.empty(), "a list file is empty");
    std::size_t start = 0;
    while (start < stored.size()) {
        std::size_t lineFeed = stored.find('\n', start);
        if (lineFeed == std::string::npos || lineFeed == start || stored[lineFeed - 1] != '\r') {
            std::fprintf(stderr, "in %s:\n", path.c_str());
            check(lineFeed != std::string::npos, "a list file does not end in CR LF");
            check(lineFeed != start, "a list file holds a lone LF");
            check(false, "a list file holds a line ending in LF without CR");
        }
        std::string row = stored.substr(start, lineFeed - 1 - start);
        if (row.empty() || !wellFormedRow(row, shape)) {
            std::fprintf(stderr, "in %s, row \"%s\":\n", path.c_str(), row.c_str());
            check(!row.empty(), "a list file holds a blank line");
            check(false, "a list row does not hold the key and shown text its lengths announce");
        }
        start = lineFeed + 1;
    }
}

}  // namespace fuzzing
