#pragma once

#include <filesystem>
#include <string>

// What the program says, as the tests expect to read it back.
inline const char* const kSuccessLine = "All aircraft renumbered and written successfully\n";
inline const char* const kDryRunLine = "Dry run: nothing was written\n";
inline const char* const kFailureLine = "an error occured while trying to process the files\n";
inline const char* const kPromptLine = "Hit any key to continue\n";

// The console's line ends: Windows writes each '\n' of a message as CR LF.
inline std::string consoleText(std::string text) {
#ifdef _WIN32
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
        text.insert(at, 1, '\r');
    }
#endif
    return text;
}

// How the program names `file` at the start of its lines on standard error: its full path, with
// the platform's separators, in UTF-8.
inline std::string shownPath(const std::filesystem::path& file) {
    return std::filesystem::path(file).make_preferred().u8string();
}

// `text` with every "<dir>" replaced by `folder` as the program shows it, separator included, so
// that expected lines can name files in a test's own folder.
inline std::string inFolder(std::string text, const std::filesystem::path& folder) {
    const std::string shown = shownPath(folder / "");
    for (std::size_t at = text.find("<dir>"); at != std::string::npos;
         at = text.find("<dir>", at + shown.size())) {
        text.replace(at, 5, shown);
    }
    return text;
}
