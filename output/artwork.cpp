#include "output/artwork.h"

#include "output/byte_search.h"
#include "platform/files.h"

#include <algorithm>
#include <cerrno>
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

// How many bytes of a picture the scan keeps while it reads on; a longer one is read again
// from the file when it is written.
constexpr std::size_t kMaxKeptBytes = std::size_t{64} << 20;

// A picture found in the music file: [start, end) once complete. The bytes from `start`
// that the scan buffer has already let go of are kept, so that the picture can be written
// without reading the file again.
struct Picture {
    long long start = -1;
    long long end = -1;
    std::vector<unsigned char> kept;
    bool keptWhole = true;  // false once the picture grew too long to keep
};

struct FileCloser {
    // Only files that were read from are closed here; closing them cannot lose data.
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Reads the music file once, front to back, no further than the size it had when it was
// opened, looking for both pictures in one pass over each block. The scan can stop as soon
// as a complete PNG is known (a PNG wins wherever a JPEG lies) and be resumed later should
// the JPEG be needed after all.
class PictureScanner {
  public:
    PictureScanner(std::FILE* music, long long size, std::size_t blockSize,
                   std::vector<unsigned char>& buffer)
        : music_(music), unread_(size), blockSize_(blockSize), buffer_(buffer) {
        if (buffer_.size() < blockSize + kCarriedBytes) {
            buffer_.resize(blockSize + kCarriedBytes);
        }
    }

    // Reads until the PNG is either complete or known to be absent. False on a read error.
    bool settlePng() {
        return readUntil([this] { return pngComplete() || atEnd_; });
    }

    // Reads until the JPEG is either complete or known to be absent. False on a read error.
    bool settleJpeg() {
        return readUntil([this] { return jpeg_.end >= 0 || atEnd_; });
    }

    // The complete PNG, or null. Valid after settlePng.
    const Picture* png() const { return pngComplete() ? &png_ : nullptr; }

    // The complete JPEG, or null. Valid after settleJpeg.
    const Picture* jpeg() const { return jpeg_.end >= 0 ? &jpeg_ : nullptr; }

    // Writes the bytes of `picture` to `out`: the kept ones and the rest from the buffer, or,
    // for a picture too long to keep, read again from the file. False on a read or write
    // error.
    bool copy(const Picture& picture, std::FILE* out) {
        if (!picture.keptWhole) {
            return copyFromFile(picture, out);
        }
        if (!picture.kept.empty() &&
            !platform::writeFile(out, picture.kept.data(), picture.kept.size())) {
            return false;
        }
        // The kept bytes reach either the picture's end or the buffer's start.
        const long long keptEnd = picture.start + static_cast<long long>(picture.kept.size());
        if (keptEnd == picture.end) {
            return true;
        }
        const std::size_t from = static_cast<std::size_t>(keptEnd - base_);
        const std::size_t to = static_cast<std::size_t>(picture.end - base_);
        return platform::writeFile(out, buffer_.data() + from, to - from);
    }

    // Puts the bytes of `picture` into `bytes`. False for a picture too long to keep.
    bool take(const Picture& picture, std::vector<unsigned char>& bytes) const {
        if (!picture.keptWhole) {
            return false;
        }
        bytes = picture.kept;
        const long long keptEnd = picture.start + static_cast<long long>(picture.kept.size());
        if (keptEnd < picture.end) {
            const unsigned char* data = buffer_.data();
            bytes.insert(bytes.end(), data + (keptEnd - base_), data + (picture.end - base_));
        }
        return true;
    }

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
            scan(limit);
            examined_ = limit;
        }
        return true;
    }

    // Keeps the bytes of `picture` among the first `count` of the buffer, which are about
    // to be let go of.
    void keep(Picture& picture, std::size_t count) {
        if (picture.start < 0 || !picture.keptWhole) {
            return;
        }
        const long long from = picture.start + static_cast<long long>(picture.kept.size());
        long long to = base_ + static_cast<long long>(count);
        if (picture.end >= 0 && picture.end < to) {
            to = picture.end;
        }
        if (from >= to) {
            return;
        }
        if (picture.kept.size() + static_cast<std::size_t>(to - from) > kMaxKeptBytes) {
            picture.keptWhole = false;
            std::vector<unsigned char>().swap(picture.kept);
            return;
        }
        const unsigned char* data = buffer_.data() + (from - base_);
        picture.kept.insert(picture.kept.end(), data, data + (to - from));
    }

    bool readBlock() {
        keep(png_, examined_);
        keep(jpeg_, examined_);
        const std::size_t kept = filled_ - examined_;
        std::memmove(buffer_.data(), buffer_.data() + examined_, kept);
        base_ += static_cast<long long>(examined_);
        filled_ = kept;
        examined_ = 0;
        const std::size_t wanted = static_cast<std::size_t>(
            std::min<long long>(static_cast<long long>(blockSize_), unread_));
        if (moved_ && !platform::seekFile(music_, bytesRead())) {
            return false;
        }
        moved_ = false;
        const std::size_t got =
            wanted == 0 ? 0 : std::fread(buffer_.data() + filled_, 1, wanted, music_);
        filled_ += got;
        unread_ -= static_cast<long long>(got);
        if (got < wanted && std::ferror(music_)) {
            return false;
        }
        // What was read up to the size the file had when it was opened is all there is: a
        // file that grows meanwhile, or one that claims no size and never ends (as some
        // system files do), is not followed.
        if (got < wanted || unread_ == 0) {
            atEnd_ = true;
        }
        return true;
    }

    // Looks at every place in [0, limit) where a pattern the pictures still need may
    // start, in file order: a PNG signature, then its IEND chunk; FF D8 (a JFIF header
    // starts so) or FF D9 (the JPEG's end marker).
    void scan(std::size_t limit) {
        const unsigned char* data = buffer_.data();
        std::size_t from = 0;
        while (from < limit) {
            const bool wantPng = png_.end < 0;
            const bool wantJpeg = jpeg_.end < 0;
            const unsigned char* png = png_.start < 0 ? kPngSignature : kPngEndChunk;
            std::size_t at;
            if (wantPng && wantJpeg) {
                at = findEitherBytePair(data, from, limit, filled_, png[0], png[1], 0xFF, 0xD8,
                                        0xFE);
            } else if (wantPng) {
                at = findBytePair(data, from, limit, filled_, png[0], png[1]);
            } else if (wantJpeg) {
                at = findBytePair(data, from, limit, filled_, 0xFF, 0xD8, 0xFE);
            } else {
                return;
            }
            if (at == limit) {
                return;
            }
            if (wantPng && data[at] == png[0]) {
                scanPngAt(at, png);
            } else if (wantJpeg) {
                scanJpegAt(at);
            }
            from = at + 1;
        }
    }

    // `pattern` (the signature, or the IEND chunk after it) may start at `at`.
    void scanPngAt(std::size_t at, const unsigned char* pattern) {
        constexpr std::size_t length = sizeof kPngSignature;
        static_assert(sizeof kPngEndChunk == length, "both PNG patterns are 4 bytes");
        if (at + length > filled_ || std::memcmp(buffer_.data() + at, pattern, length) != 0) {
            return;
        }
        if (png_.start < 0) {
            png_.start = base_ + static_cast<long long>(at);
        } else {
            png_.end = base_ + static_cast<long long>(at) + kPngEndChunkLength;
        }
    }

    // A JFIF header moves the start to itself, and an end marker after a start closes the
    // picture.
    void scanJpegAt(std::size_t at) {
        const unsigned char* data = buffer_.data();
        if (at + kJfifHeaderLength <= filled_ &&
            std::memcmp(data + at, kJfifStart, sizeof kJfifStart) == 0 &&
            std::memcmp(data + at + kJfifIdentifierOffset, kJfifIdentifier,
                        sizeof kJfifIdentifier) == 0) {
            jpeg_.start = base_ + static_cast<long long>(at);
            jpeg_.kept.clear();
            jpeg_.keptWhole = true;
        } else if (jpeg_.start >= 0 && at + 2 <= filled_ && data[at + 1] == kJpegEndSecondByte) {
            jpeg_.end = base_ + static_cast<long long>(at) + 2;
        }
    }

    bool copyFromFile(const Picture& picture, std::FILE* out) {
        // This moves the file's position: a scan resumed for the other picture must first
        // go back to where it stopped.
        moved_ = true;
        long long remaining = picture.end - picture.start;
        std::vector<unsigned char> block(blockSize_);
        bool ok = platform::seekFile(music_, picture.start);
        while (ok && remaining > 0) {
            const std::size_t wanted = static_cast<std::size_t>(
                std::min<long long>(static_cast<long long>(block.size()), remaining));
            ok = std::fread(block.data(), 1, wanted, music_) == wanted &&
                 platform::writeFile(out, block.data(), wanted);
            remaining -= static_cast<long long>(wanted);
        }
        return ok;
    }

    std::FILE* music_;
    long long unread_;  // bytes of the opened size not read yet
    std::size_t blockSize_;
    std::vector<unsigned char>& buffer_;
    long long base_ = 0;        // file offset of buffer_[0]
    std::size_t filled_ = 0;    // bytes of buffer_ holding file data
    std::size_t examined_ = 0;  // positions before this have been searched
    bool atEnd_ = false;
    bool moved_ = false;  // the file's position is elsewhere than bytesRead()
    Picture png_;
    Picture jpeg_;
};

// One scan buffer per thread serves every music file it looks at: a fresh one per file would
// be allocated and cleared each time.
thread_local std::vector<unsigned char> scanBuffer;

enum class WriteResult { written, notCreated, failed };

// Writes `picture` to `picturePath`. Where nothing stands yet (the album folder is new), it is
// created under its name at once: a run stopped while writing it leaves the picture's
// journal record without its end, and the next run extracts it again. Anything standing
// there is replaced through a new file beside it that is then moved into place, so that it
// stays whole until then, and nothing planted at the temporary name is written through. On
// failure what was written is removed and `picturePath` is left as it was: notCreated when
// the file cannot be made or moved there, failed when it could not be filled.
template <typename Copy>
WriteResult writePicture(const std::string& picturePath, Copy copy) {
    if (std::FILE* out = platform::createNewFile(picturePath)) {
        const bool copied = copy(out);
        if (platform::closeFile(out) && copied) {
            return WriteResult::written;
        }
        platform::removeFile(picturePath);
        return WriteResult::failed;
    }
    if (errno != EEXIST) {
        return WriteResult::notCreated;
    }
    std::string temporaryPath;
    std::FILE* out = platform::createReplacementFile(picturePath, temporaryPath);
    if (!out) {
        return WriteResult::notCreated;
    }
    // The bytes are pushed out before the move, so that a full disk shows here as a picture
    // that could not be filled.
    if (!copy(out) || !platform::flushFile(out)) {
        platform::commitReplacementFile(out, temporaryPath, picturePath, false);
        return WriteResult::failed;
    }
    // A name that cannot take the picture (a folder stands there) counts as one where it
    // cannot be created.
    if (!platform::commitReplacementFile(out, temporaryPath, picturePath, true)) {
        return WriteResult::notCreated;
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
    long long size = 0;
    const FileHandle music(platform::openMusicFile(musicFilePath, size));
    if (!music) {
        return -1;
    }
    PictureScanner scanner(music.get(), size, blockSize, scanBuffer);
    if (!scanner.settlePng()) {
        return -1;
    }
    if (const Picture* png = scanner.png()) {
        switch (writePicture(albumFolderPath + "/img.png",
                             [&](std::FILE* out) { return scanner.copy(*png, out); })) {
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
    const Picture* jpeg = scanner.jpeg();
    if (!jpeg) {
        return -1;
    }
    return writePicture(albumFolderPath + "/img.jpg",
                        [&](std::FILE* out) { return scanner.copy(*jpeg, out); }) ==
                   WriteResult::written
               ? 0
               : -1;
}

bool findArtwork(const std::string& musicFilePath, FoundArtwork& found, std::size_t limit,
                 std::size_t blockSize) {
    found.kind = FoundArtwork::Kind::none;
    found.bytes.clear();
    long long size = 0;
    const FileHandle music(platform::openMusicFile(musicFilePath, size));
    if (!music) {
        return false;
    }
    PictureScanner scanner(music.get(), size, std::max<std::size_t>(blockSize, 1), scanBuffer);
    if (!scanner.settlePng()) {
        return false;
    }
    const Picture* picture = scanner.png();
    FoundArtwork::Kind kind = FoundArtwork::Kind::png;
    if (!picture) {
        if (!scanner.settleJpeg()) {
            return false;
        }
        picture = scanner.jpeg();
        kind = FoundArtwork::Kind::jpeg;
    }
    if (!picture) {
        return true;
    }
    if (picture->end - picture->start > static_cast<long long>(limit) ||
        !scanner.take(*picture, found.bytes)) {
        found.bytes.clear();
        return false;
    }
    found.kind = kind;
    return true;
}

int writeArtwork(const FoundArtwork& found, const std::string& musicFilePath,
                 const std::string& albumFolderPath) {
    if (found.kind == FoundArtwork::Kind::none) {
        return -1;
    }
    const bool png = found.kind == FoundArtwork::Kind::png;
    const WriteResult result =
        writePicture(albumFolderPath + (png ? "/img.png" : "/img.jpg"), [&](std::FILE* out) {
            return platform::writeFile(out, found.bytes.data(), found.bytes.size());
        });
    if (result == WriteResult::notCreated && png) {
        // A JPEG in the same file may still be written.
        return extractArtwork(musicFilePath, albumFolderPath);
    }
    return result == WriteResult::written ? 0 : -1;
}
