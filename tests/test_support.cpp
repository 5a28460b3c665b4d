#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace testing_support {

namespace fs = std::filesystem;

ScopedTempFolder::ScopedTempFolder() {
    std::error_code error;
    previous_ = fs::current_path(error);
    const fs::path base = fs::temp_directory_path(error);
    if (error) {
        ADD_FAILURE() << "no temporary folder: " << error.message();
        return;
    }
    // Tests run side by side in separate processes: a random name keeps their folders apart.
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const fs::path candidate = base / ("bunkai-test-" + std::to_string(random() % 1000000000));
        if (fs::create_directory(candidate, error)) {
            path_ = fromPath(candidate);
        }
    }
    if (path_.empty()) {
        ADD_FAILURE() << "cannot create a temporary folder in " << fromPath(base);
        return;
    }
    fs::current_path(toPath(path_), error);
    if (error) {
        ADD_FAILURE() << "cannot enter " << path_ << ": " << error.message();
    }
}

ScopedTempFolder::~ScopedTempFolder() {
    std::error_code error;
    if (!previous_.empty()) {
        fs::current_path(previous_, error);
        if (error) {
            ADD_FAILURE() << "cannot return to the previous working folder: " << error.message();
        }
    }
    if (!path_.empty()) {
        fs::remove_all(toPath(path_), error);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(toPath(path), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(toPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out) {
        ADD_FAILURE() << "cannot write " << path;
    }
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(toPath(path), error);
}

void makeFolders(const std::string& path) {
    std::error_code error;
    fs::create_directories(toPath(path), error);
    if (error) {
        ADD_FAILURE() << "cannot create " << path << ": " << error.message();
    }
}

std::vector<std::string> listTree(const std::string& folder) {
    std::vector<std::string> out;
    const fs::path root = toPath(folder);
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
         it.increment(error)) {
        out.push_back(fromPath(it->path().lexically_relative(root)));
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace testing_support
