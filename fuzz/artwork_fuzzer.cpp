// Cover pictures out of arbitrary music file bytes: whatever the block size the file is read
// in, the scan must give the same result and write the same picture, a range of the music
// file, as with the program's own block size.
//
// Input: one byte giving a further block size, then the music file.
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "output/artwork.h"
#include "output/byte_search.h"
#include "platform/files.h"

namespace {

using fuzzing::check;

// The files the scan wrote, by name, and its result in place of the music file.
std::map<std::string, std::string> scan(std::size_t blockSize) {
    std::filesystem::remove_all("album");
    platform::makeFolder("album");
    std::map<std::string, std::string> found;
    const int result = extractArtwork("music.bin", "album", blockSize);
    for (const std::string& file : fuzzing::filesBelow()) {
        found[file] = fuzzing::readWholeFile(file);
    }
    found["music.bin"] = std::to_string(result);
    fuzzing::checkNothingOutside();
    return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string music(reinterpret_cast<const char*>(data) + 1, size - 1);
    fuzzing::startInScratchFolder();
    fuzzing::writeWholeFile("music.bin", music);
    const std::map<std::string, std::string> expected = scan(kArtworkBlockSize);
    check(expected.size() == (expected.at("music.bin") == "0" ? 2 : 1),
          "the result does not tell whether a picture was written");
    for (const auto& [file, bytes] : expected) {
        check(file == "music.bin" || music.find(bytes) != std::string::npos,
              "the picture is no range of the music file");
    }
    // The search alone, on a buffer of exactly the file's size: a read past its end stops the
    // sanitized builds, and a pair whose second byte lies past it must not be found.
    const std::vector<unsigned char> bytes(music.begin(), music.end());
    for (std::size_t from = 0; from < 17 && from < bytes.size(); ++from) {
        const std::size_t at =
            findBytePair(bytes.data(), from, bytes.size(), bytes.size(), 0xFF, 0xD8, 0xFE);
        check(at == bytes.size() || (at >= from && at + 1 < bytes.size() && bytes[at] == 0xFF &&
                                     (bytes[at + 1] & 0xFE) == 0xD8),
              "the byte search gave a position that holds no pair");
    }
    for (const int blockSize : {data[0] + 0, 1, 2, 3, 4, 7, 8, 11, 16, 4096}) {
        check(scan(static_cast<std::size_t>(blockSize)) == expected,
              "another block size gave another picture");
    }
    return 0;
}
