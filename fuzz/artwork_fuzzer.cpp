// Cover pictures out of arbitrary music file bytes, read in blocks of many sizes: whatever
// the block boundaries, the picture found must be the one the rules pick from the whole
// file, copied byte for byte.
//
// Input: one byte choosing the block size, then the music file.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"
#include "output/artwork.h"
#include "platform/files.h"

namespace {

using fuzzing::check;

const std::size_t kBlockSizes[] = {
    1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 16, 31, 64, 4096, kArtworkBlockSize};

const std::string kPngSignature = "\x89PNG";
const std::string kPngEnd = "IEND";
const std::string kJfifStart = "\xFF\xD8\xFF\xE0";
const std::string kJfifIdentifier("JFIF\0", 5);

// The PNG the rules pick from the whole file: the first signature to 8 bytes past the first
// "IEND" after it, if those bytes are in the file.
std::string expectedPng(const std::string& music) {
    const std::size_t start = music.find(kPngSignature);
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t end = music.find(kPngEnd, start + kPngSignature.size());
    if (end == std::string::npos || end + 8 > music.size()) {
        return {};
    }
    return music.substr(start, end + 8 - start);
}

// The JPEG the rules pick: every FF in file order either is a JFIF header, which moves the
// start to itself, or, once there is a start, ends the picture when D9 follows it.
std::string expectedJpeg(const std::string& music) {
    std::size_t start = std::string::npos;
    for (std::size_t at = music.find('\xFF'); at != std::string::npos;
         at = music.find('\xFF', at + 1)) {
        if (at + 11 <= music.size() && music.compare(at, 4, kJfifStart) == 0 &&
            music.compare(at + 6, 5, kJfifIdentifier) == 0) {
            start = at;
        } else if (start != std::string::npos && at + 1 < music.size() && music[at + 1] == '\xD9') {
            return music.substr(start, at + 2 - start);
        }
    }
    return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    fuzzing::startInScratchFolder();
    const std::size_t blockSize =
        kBlockSizes[data[0] % (sizeof kBlockSizes / sizeof kBlockSizes[0])];
    const std::string music = fuzzing::bytesOf(data + 1, size - 1);
    fuzzing::writeWholeFile("music.bin", music);
    platform::makeFolder("album");

    const int result = extractArtwork("music.bin", "album", blockSize);

    const std::string png = expectedPng(music);
    const std::string jpeg = png.empty() ? expectedJpeg(music) : std::string();
    const bool pngWritten = fuzzing::pathExists("album/img.png");
    const bool jpegWritten = fuzzing::pathExists("album/img.jpg");
    check(pngWritten == !png.empty(), "img.png is not there exactly when the file holds a PNG");
    check(jpegWritten == !jpeg.empty(),
          "img.jpg is not there exactly when the file holds a JPEG and no PNG");
    check(result == (pngWritten || jpegWritten ? 0 : -1),
          "the result does not tell what was written");
    if (pngWritten) {
        const std::string picture = fuzzing::readWholeFile("album/img.png");
        check(picture.compare(0, 4, kPngSignature) == 0,
              "img.png does not start with its signature");
        check(picture.size() >= 12 && picture.compare(picture.size() - 8, 4, kPngEnd) == 0,
              "img.png does not end with IEND and 4 bytes");
        check(music.find(picture) != std::string::npos, "img.png is no range of the music file");
        check(picture == png, "img.png is not the first PNG of the music file");
    }
    if (jpegWritten) {
        const std::string picture = fuzzing::readWholeFile("album/img.jpg");
        check(picture.compare(0, 4, kJfifStart) == 0, "img.jpg does not start with its signature");
        check(picture.size() >= 2 && picture.compare(picture.size() - 2, 2, "\xFF\xD9") == 0,
              "img.jpg does not end with FF D9");
        check(music.find(picture) != std::string::npos, "img.jpg is no range of the music file");
        check(picture == jpeg, "img.jpg is not the JPEG the rules pick");
    }
    check(fuzzing::filesBelow().size() ==
              std::size_t{1} + (pngWritten ? 1 : 0) + (jpegWritten ? 1 : 0),
          "the extraction left another file");
    fuzzing::checkNothingOutside();
    return 0;
}
