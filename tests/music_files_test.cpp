// The music file of a Location is found, whether the URL's path is relative to the working
// folder or absolute, and its cover lands in the album folder the track created.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/export_builder.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

TEST(MusicFiles, FoundByRelativeAndAbsolutePaths) {
    ScopedTempFolder folder;
    const std::string media = std::string(BUNKAI_TEST_DATA) + "/media/";
    fs::create_directories("Media/Music/A/Png");
    fs::create_directories("Media/Music/A/Jpeg");
    fs::copy_file(media + "with-png.m4a", "Media/Music/A/Png/1.m4a");
    fs::copy_file(media + "with-jfif.mp3", "Media/Music/A/Jpeg/1.mp3");
    // The URL of a file below the working folder by its absolute path, as a player writes it:
    // "localhost/" and then "tmp/..." on POSIX systems, "C:/..." on Windows.
    std::string url = fs::absolute("Media/Music/A/Jpeg/1.mp3").generic_string();
    if (url.front() == '/') {
        url.erase(0, 1);
    }
    writeFile("x.xml", exportText({{{"Location", locationValue("Media/Music/A/Png/1.m4a")}},
                                   {{"Location", locationValue(url)}}}));
    ASSERT_EQ(runProgram({"x.xml"}).exitStatus, 0);
    EXPECT_EQ(readFile("Music/A/Png/img.png"), readFile(media + "cover.png"));
    EXPECT_EQ(readFile("Music/A/Jpeg/img.jpg"), readFile(media + "cover-jfif.jpg"));
    // A picture goes only into an album folder the run made.
    std::filesystem::remove("Music/A/Png/img.png");
    ASSERT_EQ(runProgram({"x.xml"}).exitStatus, 0);
    EXPECT_FALSE(fileExists("Music/A/Png/img.png"));
}

// A Location naming a device, or a system file that claims no size but never ends, must not
// make the run read forever.
TEST(MusicFiles, DevicesAndEndlessSystemFilesAreNotRead) {
    for (const char* path : {"dev/zero", "proc/self/pagemap", "proc/kmsg"}) {
        if (!fs::exists(std::string("/") + path)) {
            continue;
        }
        SCOPED_TRACE(path);
        ScopedTempFolder folder;
        writeFile("x.xml",
                  exportText({{{"Location", locationValue(std::string(path) +
                                                          "</string>Media/Music/A/B/c.mp3")}}}));
        ASSERT_EQ(runProgram({"x.xml"}).exitStatus, 0);
        EXPECT_TRUE(fileExists("Music/A/B/list.csv"));
        EXPECT_FALSE(fileExists("Music/A/B/img.png") || fileExists("Music/A/B/img.jpg"));
    }
}

}  // namespace
