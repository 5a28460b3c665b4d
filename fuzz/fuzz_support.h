// What the fuzz targets share: a check that stops the process loudly, a scratch working
// folder whose surroundings are watched, and a run of the program in it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "driver/program.h"

namespace fs = std::filesystem;

// Stops the process with `what` when `condition` fails: libFuzzer keeps the input as a
// crash, and the replay test fails with the message.
inline void check(bool condition, const std::string& what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
        std::abort();
    }
}

// A whole file's bytes, or `bytes` written as the whole file; either stops the process
// when the file cannot be read or written.
inline std::string readWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    check(in.good(), "cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeWholeFile(const fs::path& path, const std::string& bytes) {
    check(!(std::ofstream(path, std::ios::binary) << bytes).fail(),
          "cannot write " + path.string());
}

// Makes "work", empty and alone in the folder "bunkai-fuzz-<target>" of the temporary
// folder, the working folder, so that every input starts alike and whatever a run creates
// through ".." or an absolute path shows up beside it, and writes `exportBytes` to
// "export.xml" there. The last input's folders stay, to be looked at.
inline void startInScratchFolder(const std::string& target, const std::string& exportBytes) {
    const fs::path folder = fs::temp_directory_path() / ("bunkai-fuzz-" + target) / "work";
    fs::remove_all(folder.parent_path());
    fs::create_directories(folder);
    fs::current_path(folder);
    writeWholeFile("export.xml", exportBytes);
}

// Runs the program as a user does, on "export.xml" in the working folder, with its console
// output (a dot per track) thrown away, and checks that it ended normally, left the working
// folder where it was and created nothing beside it.
inline void runOnExport() {
    static std::FILE* const quiet = std::freopen("/dev/null", "w", stdout);
    const fs::path folder = fs::current_path();
    char* argv[] = {const_cast<char*>("bunkai"), const_cast<char*>("export.xml"), nullptr};
    check(quiet != nullptr && runProgram(2, argv) == 0, "the run did not end normally");
    check(fs::current_path() == folder, "the working folder changed");
    check(std::distance(fs::directory_iterator(folder.parent_path()), {}) == 1,
          "something was created beside the working folder");
}

// The regular files below the working folder, by path from it, with their bytes.
inline std::map<std::string, std::string> filesBelow() {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(".")) {
        if (entry.is_regular_file()) {
            files[entry.path().string().substr(2)] = readWholeFile(entry.path());
        }
    }
    return files;
}
