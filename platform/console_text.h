// Every text the program shows, and the file names it looks for by default. The Windows
// program writes them as code page 932 bytes, the code page of its users' consoles; the
// POSIX program writes the same texts in UTF-8, the encoding of its terminals.
#pragma once

namespace text {

#ifdef _WIN32
inline constexpr const char* kBanner =
    "iTunes\x82\xCC"
    "xml\x82\xF0\x95\xAA\x89\xF0\x82\xB7\x82\xE9\x83"
    "c\x81[\x83\x8B\n";
inline constexpr const char* kVersion =
    "Ver\x81"
    "F0.20210531";
inline constexpr const char* kUsage = "\x8Eg\x97p\x96@\n";
inline constexpr const char* kUsagePlace =
    "\x81\x9C\x81uiTunes Music Library.xml\x81v\x82\xA9\x81u\x83\x89\x83"
    "C\x83u\x83\x89\x83\x8A"
    ".xml\x81v\x82\xF0"
    "bunkai\x82\xC6\x93\xAF\x82\xB6\x83t\x83H\x83\x8B\x83_\x82\xC9\x92u\x82\xAD\n";
inline constexpr const char* kUsageRun =
    "\x81\x9C"
    "bunkai.exe\x82\xF0\x83_\x83u\x83\x8B\x83N\x83\x8A\x83"
    "b\x83N\x82\xB7\x82\xE9\n";
inline constexpr const char* kPressKey =
    "\x89\xBD\x82\xA9\x89\x9F\x82\xB7\x82\xC6\x8F"
    "I\x97\xB9";
inline constexpr const char* kAnalysing = "xml\x82\xF0\x89\xF0\x90\xCD\x82\xB5\x82\xDC\x82\xB7\n";
inline constexpr const char* kReadingLibrary = "\x8F\xEE\x95\xF1\x82\xF0\x89\xF0\x90\xCD\x92\x86\n";
inline constexpr const char* kAnalysisDone =
    "\x89\xF0\x90\xCD\x8F"
    "I\x82\xED\x82\xE8\n";
inline constexpr const char* kToPlaylists =
    "\n\x83v\x83\x8C\x83"
    "C\x83\x8A\x83X\x83g\x82\xD6\n";
inline constexpr const char* kDictionaryEnd =
    "\x8F"
    "I\x82\xED\x82\xE8\n";
inline constexpr const char* kNestedDictionary = "\n\x82\xC8\x82\xF1\x82\xC5\x82\xE2\x81[\n";
inline constexpr const char* kSecondExportName =
    "\x83\x89\x83"
    "C\x83u\x83\x89\x83\x8A.xml";
inline constexpr const char* kFolderBusy =
    "\x82\xD9\x82\xA9\x82\xCC"
    "bunkai\x82\xAA\x82\xB1\x82\xCC\x83t\x83H\x83\x8B\x83_"
    "\x82\xF0\x8Eg\x82\xC1\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81"
    "B\x8FI\x82\xED\x82\xC1\x82\xC4\x82\xA9\x82\xE7\x82\xE0\x82\xA4\x88\xEA\x93x\x8E\xC0\x8Ds\x82"
    "\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\n";
inline constexpr const char* kListsNotWritten =
    "\x8F\x91\x82\xAB\x8D\x9E\x82\xDF\x82\xC8\x82\xA9\x82\xC1\x82\xBD\x88\xEA\x97\x97\x82\xAA\x82"
    "\xA0\x82\xE8\x82\xDC\x82\xB7\x81"
    "B\x82\xE0\x82\xA4\x88\xEA\x93x\x8E\xC0\x8Ds\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\n";
#else
inline constexpr const char* kBanner = "iTunesのxmlを分解するツール\n";
inline constexpr const char* kVersion = "Ver：0.20210531";
inline constexpr const char* kUsage = "使用法\n";
inline constexpr const char* kUsagePlace =
    "●「iTunes Music Library.xml」か「ライブラリ.xml」をbunkaiと同じフォルダに置く\n";
inline constexpr const char* kUsageRun = "●bunkai.exeをダブルクリックする\n";
inline constexpr const char* kPressKey = "何か押すと終了";
inline constexpr const char* kAnalysing = "xmlを解析します\n";
inline constexpr const char* kReadingLibrary = "情報を解析中\n";
inline constexpr const char* kAnalysisDone = "解析終わり\n";
inline constexpr const char* kToPlaylists = "\nプレイリストへ\n";
inline constexpr const char* kDictionaryEnd = "終わり\n";
inline constexpr const char* kNestedDictionary = "\nなんでやー\n";
inline constexpr const char* kSecondExportName = "ライブラリ.xml";
inline constexpr const char* kFolderBusy =
    "ほかのbunkaiがこのフォルダを使っています。終わってからもう一度実行してください\n";
inline constexpr const char* kListsNotWritten =
    "書き込めなかった一覧があります。もう一度実行してください\n";
#endif

inline constexpr const char* kFirstExportName = "iTunes Music Library.xml";
inline constexpr const char* kTrackDot = ".";

}  // namespace text
