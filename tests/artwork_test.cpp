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

struct Case {
    const char* name;
    std::string music;
    const char* picture;  // the file expected in the album folder, or nullptr for none
    std::string bytes;    // its expected contents
};

std::vector<Case> patternCases() {
    const std::string pngA = png("\0\0\0\rIHDR-A"s);
    const std::string pngB = png("\0\0\0\rIHDR-B"s);
    const std::string jpegA = jpeg("\xFF\xDB-A\xFF\x00"s);
    const std::string jpegB = jpeg("\xFF\xDB-B");
    return {
        {"png alone", "ID3" + pngA + "audio", "img.png", pngA},
        {"png exactly at the end", "ID3" + pngA, "img.png", pngA},
        {"jpeg alone", "ID3" + jpegA + "audio", "img.jpg", jpegA},
        {"png before jpeg", pngA + jpegA, "img.png", pngA},
        {"jpeg before png", jpegA + pngA, "img.png", pngA},
        {"two pngs", "x" + pngA + "y" + pngB, "img.png", pngA},
        {"second signature before the end chunk",
         kPngSignature + "a" + kPngSignature + "b" + kPngEnd, "img.png",
         kPngSignature + "a" + kPngSignature + "b" + kPngEnd},
        {"end chunk before the signature", "IEND" + pngA, "img.png", pngA},
        {"png signature without end chunk", kPngSignature + "body" + jpegA, "img.jpg", jpegA},
        {"png CRC running past the end", jpegA + pngA.substr(0, pngA.size() - 1), "img.jpg", jpegA},
        {"png CRC running past the end, no jpeg", pngA.substr(0, pngA.size() - 3), nullptr, ""},
        {"last header before the end marker wins", kJfifHeader + "a" + jpegB + "c", "img.jpg",
         jpegB},
        {"header after the end marker ignored", jpegA + jpegB, "img.jpg", jpegA},
        {"end marker before any header ignored", "\xFF\xD9" + jpegA, "img.jpg", jpegA},
        {"end marker inside the header", "\xFF\xD8\xFF\xE0\xFF\xD9JFIF\x00rest\xFF\xD9"s, "img.jpg",
         "\xFF\xD8\xFF\xE0\xFF\xD9"},
        {"exif jpeg only",
         "ID3\xFF\xD8\xFF\xE1\x00\x10"
         "Exif\x00\x00MM\xFF\xD9"s,
         nullptr, ""},
        {"wrong identifier", "\xFF\xD8\xFF\xE0\x00\x10JFXF\x00\xFF\xD9"s, nullptr, ""},
        {"header without end marker", jpegA.substr(0, jpegA.size() - 1), nullptr, ""},
        // Earlier blocks leave D9 bytes in the read buffer right after the final FF.
        {"lone FF at the end", kJfifHeader + std::string(100, '\xD9') + "\xFF", nullptr, ""},
        {"empty file", "", nullptr, ""},
    };
}

// Small blocks put every pattern across a block boundary at every possible split.
const std::size_t kBlockSizes[] = {1, 2, 3, 5, 10, 11, 12, 64, kArtworkBlockSize};

TEST(ExtractArtwork, FindsThePictureInRawBytes) {
    for (const Case& c : patternCases()) {
        for (std::size_t blockSize : kBlockSizes) {
            SCOPED_TRACE(std::string(c.name) + ", block size " + std::to_string(blockSize));
            ScopedTempFolder folder;
            writeFile("music", c.music);
            const int result = extractArtwork("music", folder.path(), blockSize);
            if (c.picture) {
                EXPECT_EQ(result, 0);
                EXPECT_EQ(readFile(folder.path() + "/" + c.picture), c.bytes);
            } else {
                EXPECT_EQ(result, -1);
            }
            const std::vector<std::string> expected =
                c.picture ? std::vector<std::string>{c.picture, "music"}
                          : std::vector<std::string>{"music"};
            EXPECT_EQ(testing_support::listTree(folder.path()), expected);
        }
    }
}

// When img.png cannot be created the JPEG is written instead; the scan, which stops once the
// PNG is complete, must then resume to find a JPEG lying after it.
TEST(ExtractArtwork, FallsBackToJpegWhenPngCannotBeCreated) {
    const std::string jpegA = jpeg("body");
    for (std::size_t blockSize : {std::size_t{4}, kArtworkBlockSize}) {
        for (const std::string& music : {png("p") + jpegA, jpegA + png("p")}) {
            ScopedTempFolder folder;
            makeFolders("img.png");
            writeFile("music", music);
            EXPECT_EQ(extractArtwork("music", folder.path(), blockSize), 0);
            EXPECT_EQ(readFile("img.jpg"), jpegA);
        }
    }
    ScopedTempFolder folder;
    makeFolders("img.png");
    writeFile("music", png("p"));
    EXPECT_EQ(extractArtwork("music", folder.path()), -1);
}

// A picture that cannot be written whole, whichever file operation fails, is a failure
// and leaves the picture already there as it was, and no other file.
TEST(ExtractArtwork, PictureThatCannotBeWrittenIsRemoved) {
    for (const std::string& music : {png(std::string(200000, 'x')), jpeg("small")}) {
        for (long long at = 1;; ++at) {
            SCOPED_TRACE(std::to_string(music.size()) + " bytes, operation " + std::to_string(at));
            ScopedTempFolder folder;
            writeFile("music", music);
            const std::string picture = music[0] == '\x89' ? "img.png" : "img.jpg";
            writeFile(picture, "old");
            platform::planFileFault(platform::FileFault::fail, at);
            const int result = extractArtwork("music", folder.path());
            const bool allDone = platform::fileOperationsCounted() < at;
            platform::planFileFault(platform::FileFault::fail, 0);
            EXPECT_EQ(testing_support::listTree(folder.path()),
                      (std::vector<std::string>{picture, "music"}));
            EXPECT_EQ(readFile(picture), result == 0 ? music : "old");
            EXPECT_EQ(result, allDone ? 0 : -1);
            if (allDone) {
                break;
            }
        }
    }
}

}  // namespace
