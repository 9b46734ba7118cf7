#pragma once

#include <string>

// What the program says, as the tests expect to read it back.
inline const char* const kSuccessLine = "All aircraft renumbered and written successfully\n";
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
