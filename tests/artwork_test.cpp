#include "output/artwork.h"

#include "platform/files.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace std::string_literals;
using testing_support::makeFolders;
using testing_support::readFile;
using testing_support::ScopedTempFolder;
using testing_support::writeFile;

namespace {

const std::string kPngSignature = "\x89PNG\r\n\x1a\n"s;
const std::string kPngEnd = "IEND\xAE\x42\x60\x82"s;
const std::string kJfifHeader = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00"s;
const std::string kJpegEnd = "\xFF\xD9"s;

std::string png(const std::string& body) {
    return kPngSignature + body + kPngEnd;
}

std::string jpeg(const std::string& body) {
    return kJfifHeader + body + kJpegEnd;
}

// The picture expected from a music file: a PNG's bytes go to img.png, a JPEG's to img.jpg,
// none when empty. When `pngBlocked`, a folder stands at img.png: the JPEG is written instead,
// and the scan, which stops once the PNG is complete, must then resume to find a JPEG after it.
struct Case {
    std::string music;
    std::string picture;
    bool pngBlocked = false;
};

std::vector<Case> cases() {
    const std::string pngA = png("\0\0\0\rIHDR-A"s), pngB = png("\0\0\0\rIHDR-B"s);
    const std::string jpegA = jpeg("\xFF\xDB-A\xFF\x00"s), jpegB = jpeg("\xFF\xDB-B");
    const std::string twoSignatures = kPngSignature + "a" + kPngSignature + "b" + kPngEnd;
    return {
        {"ID3" + pngA + "audio", pngA},
        {"ID3" + pngA, pngA},
        {"ID3" + jpegA + "audio", jpegA},
        {pngA + jpegA, pngA},
        {jpegA + pngA, pngA},
        {"x" + pngA + "y" + pngB, pngA},
        {twoSignatures, twoSignatures},
        {"IEND" + pngA, pngA},
        {kPngSignature + "body" + jpegA, jpegA},
        {jpegA + pngA.substr(0, pngA.size() - 1), jpegA},  // the CRC runs past the end
        {pngA.substr(0, pngA.size() - 3), ""},
        {kJfifHeader + "a" + jpegB + "c", jpegB},  // the last header before the end wins
        {jpegA + jpegB, jpegA},
        {"\xFF\xD9" + jpegA, jpegA},
        {"\xFF\xD8\xFF\xE0\xFF\xD9JFIF\x00rest\xFF\xD9"s, "\xFF\xD8\xFF\xE0\xFF\xD9"},
        {"ID3\xFF\xD8\xFF\xE1\x00\x10"
         "Exif\x00\x00MM\xFF\xD9"s,
         ""},
        {"\xFF\xD8\xFF\xE0\x00\x10JFXF\x00\xFF\xD9"s, ""},
        {jpegA.substr(0, jpegA.size() - 1), ""},
        // Earlier blocks leave D9 bytes in the read buffer right after the final FF.
        {kJfifHeader + std::string(100, '\xD9') + "\xFF", ""},
        {"", ""},
        {pngA + jpegA, jpegA, true},
        {jpegA + pngA, jpegA, true},
        {pngA, "", true},
    };
}

// Small blocks put every pattern across a block boundary at every possible split. A picture
// found ahead (findArtwork, then writeArtwork) must give the same result and files.
TEST(ExtractArtwork, FindsThePictureInRawBytes) {
    int number = 0;
    for (const Case& c : cases()) {
        ++number;
        for (std::size_t blockSize : {1, 2, 3, 5, 10, 11, 12, 64, int(kArtworkBlockSize)}) {
            for (const bool ahead : {false, true}) {
                SCOPED_TRACE("case " + std::to_string(number) + ", block size " +
                             std::to_string(blockSize) + (ahead ? ", found ahead" : ""));
                ScopedTempFolder folder;
                writeFile("music", c.music);
                if (c.pngBlocked) {
                    makeFolders("img.png");
                }
                const std::string picture = c.picture[0] == '\x89' ? "img.png" : "img.jpg";
                FoundArtwork found;
                if (!c.pngBlocked && !c.picture.empty()) {
                    EXPECT_FALSE(findArtwork("music", found, c.picture.size() - 1, blockSize));
                }
                EXPECT_EQ(ahead ? (findArtwork("music", found, c.music.size(), blockSize)
                                       ? writeArtwork(found, "music", folder.path())
                                       : -2)
                                : extractArtwork("music", folder.path(), blockSize),
                          c.picture.empty() ? -1 : 0);
                // The folder holds the picture, the blocking folder and the music file.
                const std::string made = c.picture.empty() ? "" : picture + " ";
                EXPECT_EQ(testing_support::treeText(folder.path()),
                          made + (c.pngBlocked ? "img.png " : "") + "music");
                if (!c.picture.empty()) {
                    EXPECT_EQ(readFile(picture), c.picture);
                }
            }
        }
    }
}

// A PNG too long to keep in memory is read again to be copied; when it then cannot be put in
// place, the scan for the JPEG goes on where it stopped.
TEST(ExtractArtwork, JpegAfterALongPngThatCannotBeWritten) {
    ScopedTempFolder folder;
    makeFolders("img.png");
    writeFile("music", png(std::string(65 << 20, 'x')) + std::string(1 << 20, 'a') + jpeg("after"));
    EXPECT_EQ(extractArtwork("music", folder.path()), 0);
    EXPECT_EQ(readFile("img.jpg"), jpeg("after"));
}

// A picture that cannot be written whole, whichever file operation fails, is a failure
// and leaves the picture already there as it was, and no other file.
TEST(ExtractArtwork, PictureThatCannotBeWrittenIsRemoved) {
    for (const std::string& music : {png(std::string(200000, 'x')), jpeg("small")}) {
        for (const bool existing : {true, false}) {
            for (long long at = 1;; ++at) {
                SCOPED_TRACE(std::to_string(music.size()) + " bytes, existing " +
                             std::to_string(existing) + ", operation " + std::to_string(at));
                ScopedTempFolder folder;
                writeFile("music", music);
                const std::string picture = music[0] == '\x89' ? "img.png" : "img.jpg";
                if (existing) {
                    writeFile(picture, "old");
                }
                platform::planFileFault(platform::FileFault::fail, at);
                const int result = extractArtwork("music", folder.path());
                const bool allDone = platform::fileOperationsCounted() < at;
                platform::planFileFault(platform::FileFault::fail, 0);
                const bool kept = existing || result == 0;
                const std::vector<std::string> tree =
                    kept ? std::vector<std::string>{picture, "music"}
                         : std::vector<std::string>{"music"};
                EXPECT_EQ(testing_support::listTree(folder.path()), tree);
                if (kept) {
                    EXPECT_EQ(readFile(picture), result == 0 ? music : "old");
                }
                EXPECT_EQ(result, allDone ? 0 : -1);
                if (allDone) {
                    break;
                }
            }
        }
    }
}

}  // namespace
