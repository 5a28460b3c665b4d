#include "tests/test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <system_error>

#include "driver/program.h"
#include "platform/code_page.h"

namespace testing_support {

namespace fs = std::filesystem;

namespace {

// Makes a folder of the system's temporary folder that no other test process uses. Tests run
// side by side in separate processes: the process id keeps their folders apart, and a name
// left by an ended process of the same id is passed over.
fs::path makeOwnFolder(const std::string& stem, std::error_code& error) {
    static int made = 0;
    fs::path path;
    do {
        path = fs::temp_directory_path() /
               (stem + std::to_string(getpid()) + "-" + std::to_string(++made));
    } while (!fs::create_directory(path, error) && !error);
    return path;
}

}  // namespace

ScopedTempFolder::ScopedTempFolder() : previous_(fs::current_path()) {
    std::error_code error;
    path_ = fromPath(makeOwnFolder("bunkai-test-", error));
    if (!error) {
        fs::current_path(toPath(path_), error);
    }
    EXPECT_FALSE(error) << "cannot make and enter " << path_ << ": " << error.message();
}

ScopedTempFolder::~ScopedTempFolder() {
    std::error_code error;
    fs::current_path(previous_, error);
    fs::remove_all(toPath(path_), error);
}

std::string readFile(const std::string& path) {
    std::ifstream in(toPath(path), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    EXPECT_TRUE(in) << "cannot read " << path;
    return bytes.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(toPath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    EXPECT_TRUE(out) << "cannot write " << path;
}

bool fileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(toPath(path), error);
}

void makeFolders(const std::string& path) {
    std::error_code error;
    fs::create_directories(toPath(path), error);
    EXPECT_FALSE(error) << "cannot create " << path << ": " << error.message();
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

std::string treeText(const std::string& folder) {
    std::string text;
    for (const std::string& path : listTree(folder)) {
        text += (text.empty() ? "" : " ") + path;
    }
    return text;
}

std::string listFormatFault(const std::string& bytes, bool trackRows) {
    static const std::regex lengths("([0-9]{1,9}),([0-9]{1,9}),");
    std::istringstream lines(bytes);
    for (std::string row; std::getline(lines, row);) {
        std::smatch match;
        std::size_t at = 0;
        bool fine = !row.empty() && row.back() == '\r' && row.size() > 1 && !lines.eof() &&
                    std::regex_search(row, match, lengths, std::regex_constants::match_continuous);
        row.pop_back();
        if (fine) {
            at = match.length(0) + std::stoul(match[1]);
            fine = at < row.size() && row[at] == ',';
            at += 1 + std::stoul(match[2]);
        }
        // Track rows go on with "," and at least twelve more columns (values may hold commas).
        if (!fine || (trackRows ? at >= row.size() || row[at] != ',' ||
                                      std::count(row.begin() + at, row.end(), ',') < 12
                                : at != row.size())) {
            return "a row not in the list format, or not ended by CR LF: " + row;
        }
    }
    return "";
}

std::string listsFault(const std::string& folder, const std::set<std::string>& mayBeCut) {
    for (const std::string& path : listTree(folder)) {
        const std::string name = path.substr(path.rfind('/') + 1);
        if (name != "list.csv" && name != "errlist.csv") {
            continue;
        }
        const bool tracks = name == "errlist.csv" || std::count(path.begin(), path.end(), '/') == 3;
        std::string bytes = readFile(folder + "/" + path);
        if (mayBeCut.count(path)) {
            const std::size_t lastEnd = bytes.rfind("\r\n");
            bytes.erase(lastEnd == std::string::npos ? 0 : lastEnd + 2);
        }
        const std::string fault = listFormatFault(bytes, tracks);
        if (!fault.empty()) {
            return path + ": " + fault;
        }
    }
    return "";
}

RunResult runProgram(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {"bunkai"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    // Standard input and output are swapped for an empty file and a file to read back, and
    // restored afterwards. The files are not std::tmpfile's: under Wine it names them after
    // the process id, and a process given the id of one just ended may be refused the name.
    std::error_code error;
    const fs::path folder = makeOwnFolder("bunkai-io-", error);
    std::FILE* input = error ? nullptr : std::fopen((folder / "in").string().c_str(), "w+b");
    std::FILE* output = error ? nullptr : std::fopen((folder / "out").string().c_str(), "w+b");
    // POSIX removes open files at once, so that a forked run stopped halfway leaves nothing;
    // Windows refuses, and the folder goes when the files are closed.
    fs::remove_all(folder, error);
    std::fflush(stdout);
    const int savedInput = dup(0);
    const int savedOutput = dup(1);
    RunResult result;
    const auto closeAndRemove = [&] {
        for (std::FILE* file : {input, output}) {
            if (file) {
                std::fclose(file);
            }
        }
        fs::remove_all(folder, error);
    };
    if (!input || !output || dup2(fileno(input), 0) == -1 || dup2(fileno(output), 1) == -1) {
        ADD_FAILURE() << "cannot redirect standard input and output: " << folder;
        closeAndRemove();
        return result;
    }
    std::clearerr(stdin);
#ifdef _WIN32
    // The program's standard output is in text mode, as a console's is: LF is written CR LF.
    _setmode(1, _O_TEXT);
#endif
    result.exitStatus = ::runProgram(static_cast<int>(words.size()), argv.data());
    std::fflush(stdout);
    dup2(savedInput, 0);
    dup2(savedOutput, 1);
    close(savedInput);
    close(savedOutput);
    std::rewind(output);
    char block[4096];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, output)) > 0;) {
        result.output.append(block, got);
    }
    closeAndRemove();
    return result;
}

std::string consoleText(const std::string& utf8) {
    std::string text;
    for (const char c : localName(utf8)) {
        text += kWindows && c == '\n' ? "\r\n" : std::string(1, c);
    }
    return text;
}

std::string localName(const std::string& utf8) {
    return kWindows ? platform::utf8ToCodePage932(utf8) : utf8;
}

std::string stringValue(const std::string& text) {
    return "<string>" + text + "</string>";
}

std::string integerValue(const std::string& digits) {
    return "<integer>" + digits + "</integer>";
}

std::string locationValue(const std::string& escapedPath) {
    return stringValue("file://localhost/" + escapedPath);
}

std::string exportText(const std::vector<std::vector<Entry>>& tracks, bool withPlaylists,
                       const std::string& musicFolder) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple "
        "Computer//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n\t<key>Major Version</key><integer>1</integer>\n";
    if (!musicFolder.empty()) {
        text += "\t<key>Music Folder</key>" + stringValue(musicFolder) + "\n";
    }
    text += "\t<key>Tracks</key>\n\t<dict>\n";
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const std::string id = std::to_string(100 + i);
        text += "\t\t<key>" + id + "</key>\n\t\t<dict>\n\t\t\t<key>Track ID</key>" +
                integerValue(id) + "\n";
        for (const Entry& entry : tracks[i]) {
            text += "\t\t\t<key>" + entry.key + "</key>" + entry.value + "\n";
        }
        text += "\t\t</dict>\n";
    }
    text += "\t</dict>\n";
    if (withPlaylists) {
        text +=
            "\t<key>Playlists</key>\n\t<array>\n\t\t<dict>\n"
            "\t\t\t<key>Name</key><string>Library</string>\n\t\t</dict>\n\t</array>\n";
    }
    return text + "</dict>\n</plist>\n";
}

}  // namespace testing_support
