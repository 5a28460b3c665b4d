#include "output/artwork.h"

#include "output/byte_search.h"
#include "platform/files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G'};
constexpr unsigned char kPngEndChunk[] = {'I', 'E', 'N', 'D'};
// The IEND chunk type is followed by its 4-byte CRC, which closes the PNG.
constexpr long long kPngEndChunkLength = 8;

// A JFIF header is FF D8 FF E0, a 2-byte segment length that is not checked, "JFIF" and 00.
constexpr unsigned char kJfifStart[] = {0xFF, 0xD8, 0xFF, 0xE0};
constexpr unsigned char kJfifIdentifier[] = {'J', 'F', 'I', 'F', 0x00};
constexpr std::size_t kJfifIdentifierOffset = 6;
constexpr std::size_t kJfifHeaderLength = kJfifIdentifierOffset + sizeof kJfifIdentifier;
constexpr unsigned char kJpegEndSecondByte = 0xD9;

// Every pattern is at most a JFIF header long, so keeping this many unexamined bytes of one
// block for the next lets each pattern be seen whole even when it spans two blocks.
constexpr std::size_t kCarriedBytes = kJfifHeaderLength - 1;

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

struct ByteRange {
    long long start = -1;
    long long end = -1;
};

struct FileCloser {
    // Only files that were read from are closed here; closing them cannot lose data.
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads the music file once, front to back, looking for both pictures at the same time. The
// scan can stop as soon as a complete PNG is known (a PNG wins wherever a JPEG lies) and be
// resumed later should the JPEG be needed after all.
class PictureScanner {
  public:
    PictureScanner(std::FILE* music, std::size_t blockSize)
        : music_(music), blockSize_(blockSize), buffer_(blockSize + kCarriedBytes) {}

    // Reads until the PNG is either complete or known to be absent. False on a read error.
    bool settlePng() {
        return readUntil([this] { return pngComplete() || atEnd_; });
    }

    // Reads until the JPEG is either complete or known to be absent. False on a read error.
    bool settleJpeg() {
        return readUntil([this] { return jpeg_.end >= 0 || atEnd_; });
    }

    // The PNG's bytes; start is -1 when the file has no complete PNG. Valid after settlePng.
    ByteRange png() const { return pngComplete() ? png_ : ByteRange{}; }

    // The JPEG's bytes; start is -1 when the file has none. Valid after settleJpeg.
    ByteRange jpeg() const { return jpeg_.end >= 0 ? jpeg_ : ByteRange{}; }

  private:
    bool pngComplete() const { return png_.end >= 0 && bytesRead() >= png_.end; }
    long long bytesRead() const { return base_ + static_cast<long long>(filled_); }

    template <typename Done>
    bool readUntil(Done done) {
        while (!done()) {
            if (!readBlock()) {
                return false;
            }
            const std::size_t limit =
                atEnd_ ? filled_ : (filled_ > kCarriedBytes ? filled_ - kCarriedBytes : 0);
            if (png_.end < 0) {
                scanPng(limit);
            }
            if (jpeg_.end < 0) {
                scanJpeg(limit);
            }
            examined_ = limit;
        }
        return true;
    }

    bool readBlock() {
        const std::size_t kept = filled_ - examined_;
        std::memmove(buffer_.data(), buffer_.data() + examined_, kept);
        base_ += static_cast<long long>(examined_);
        filled_ = kept;
        examined_ = 0;
        const std::size_t got = std::fread(buffer_.data() + filled_, 1, blockSize_, music_);
        filled_ += got;
        if (got < blockSize_) {
            if (std::ferror(music_)) {
                return false;
            }
            atEnd_ = true;
        }
        return true;
    }

    // The first position in [from, limit) where `pattern` lies wholly in the buffer.
    template <std::size_t length>
    std::size_t find(std::size_t from, std::size_t limit,
                     const unsigned char (&pattern)[length]) const {
        const unsigned char* data = buffer_.data();
        while (from < limit) {
            const std::size_t at = findBytePair(data, from, limit, filled_, pattern[0], pattern[1]);
            if (at == limit) {
                return kNotFound;
            }
            if (at + length > filled_) {
                return kNotFound;  // only near the end of the file; later positions fit even less
            }
            if (std::memcmp(data + at + 1, pattern + 1, length - 1) == 0) {
                return at;
            }
            from = at + 1;
        }
        return kNotFound;
    }

    void scanPng(std::size_t limit) {
        std::size_t from = 0;
        if (png_.start < 0) {
            const std::size_t at = find(0, limit, kPngSignature);
            if (at == kNotFound) {
                return;
            }
            png_.start = base_ + static_cast<long long>(at);
            from = at + sizeof kPngSignature;
        }
        const std::size_t at = find(from, limit, kPngEndChunk);
        if (at != kNotFound) {
            png_.end = base_ + static_cast<long long>(at) + kPngEndChunkLength;
        }
    }

    // Each FF is examined in file order: a JFIF header moves the start to itself, and an end
    // marker after a start closes the picture.
    void scanJpeg(std::size_t limit) {
        const unsigned char* data = buffer_.data();
        std::size_t from = 0;
        while (from < limit) {
            // Only FF D8 (a JFIF header starts so) and FF D9 (the end marker) matter.
            const std::size_t at = findBytePair(data, from, limit, filled_, 0xFF, 0xD8, 0xFE);
            if (at == limit) {
                return;
            }
            if (at + kJfifHeaderLength <= filled_ &&
                std::memcmp(data + at, kJfifStart, sizeof kJfifStart) == 0 &&
                std::memcmp(data + at + kJfifIdentifierOffset, kJfifIdentifier,
                            sizeof kJfifIdentifier) == 0) {
                jpeg_.start = base_ + static_cast<long long>(at);
            } else if (jpeg_.start >= 0 && at + 2 <= filled_ &&
                       data[at + 1] == kJpegEndSecondByte) {
                jpeg_.end = base_ + static_cast<long long>(at) + 2;
                return;
            }
            from = at + 1;
        }
    }

    std::FILE* music_;
    std::size_t blockSize_;
    std::vector<unsigned char> buffer_;
    long long base_ = 0;        // file offset of buffer_[0]
    std::size_t filled_ = 0;    // bytes of buffer_ holding file data
    std::size_t examined_ = 0;  // positions before this have been searched
    bool atEnd_ = false;
    ByteRange png_;
    ByteRange jpeg_;
};

enum class WriteResult { written, notCreated, failed };

// Copies bytes [range.start, range.end) of the music file to `picturePath`. A picture that
// was created but could not be written completely is removed, so no truncated picture is
// left behind.
WriteResult writePicture(std::FILE* music, ByteRange range, std::size_t blockSize,
                         const std::string& picturePath) {
    std::FILE* picture = platform::openFile(picturePath, "wb");
    if (!picture) {
        return WriteResult::notCreated;
    }
    long long remaining = range.end - range.start;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(
        std::min<long long>(static_cast<long long>(blockSize), remaining)));
    bool ok = platform::seekFile(music, range.start);
    while (ok && remaining > 0) {
        const std::size_t wanted = static_cast<std::size_t>(
            std::min<long long>(static_cast<long long>(buffer.size()), remaining));
        ok = std::fread(buffer.data(), 1, wanted, music) == wanted &&
             std::fwrite(buffer.data(), 1, wanted, picture) == wanted;
        remaining -= static_cast<long long>(wanted);
    }
    // The last bytes may only reach the disk when the file is closed, so a failing close
    // means the picture is incomplete too.
    ok = std::fclose(picture) == 0 && ok;
    if (!ok) {
        platform::removeFile(picturePath);
        return WriteResult::failed;
    }
    return WriteResult::written;
}

}  // namespace

int extractArtwork(const std::string& musicFilePath, const std::string& albumFolderPath) {
    return extractArtwork(musicFilePath, albumFolderPath, kArtworkBlockSize);
}

int extractArtwork(const std::string& musicFilePath, const std::string& albumFolderPath,
                   std::size_t blockSize) {
    blockSize = std::max<std::size_t>(blockSize, 1);
    const FileHandle music(platform::openMusicFile(musicFilePath));
    if (!music) {
        return -1;
    }
    PictureScanner scanner(music.get(), blockSize);
    if (!scanner.settlePng()) {
        return -1;
    }
    if (const ByteRange png = scanner.png(); png.start >= 0) {
        switch (writePicture(music.get(), png, blockSize, albumFolderPath + "/img.png")) {
            case WriteResult::written:
                return 0;
            case WriteResult::failed:
                return -1;
            case WriteResult::notCreated:
                break;  // a JPEG in the same file may still be written
        }
    }
    if (!scanner.settleJpeg()) {
        return -1;
    }
    const ByteRange jpeg = scanner.jpeg();
    if (jpeg.start < 0) {
        return -1;
    }
    return writePicture(music.get(), jpeg, blockSize, albumFolderPath + "/img.jpg") ==
                   WriteResult::written
               ? 0
               : -1;
}
