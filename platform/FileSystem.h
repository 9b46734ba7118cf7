#pragma once

// The operating system's side of the safe replacement: one implementation per platform, in
// FileSystemPosix.cpp and FileSystemWindows.cpp. Only FileReplacement.cpp and the console writer
// call these; they hold no protocol of their own, only system calls, and report failures as the
// system's own error code.

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/Text.h"

struct ReplacementState;

// errno on POSIX, GetLastError() on Windows.
using SystemError = unsigned long;

// The system's words for `error` (UTF-8, no trailing period or line break): the one place where
// an error code becomes text.
Text systemMessage(SystemError error);

// Windows speaks UTF-16 and the program's text is UTF-8: the conversions (Windows only).
Text utf8FromWide(const wchar_t* chars, int count);
std::wstring wideFromUtf8(const Text& text);

// What the file was when it was opened.
struct FileFacts {
    bool regular = false;
    std::int64_t size = 0;
};

ReplacementState* createState();
// Closes whatever is still open, removes the temporary file if it exists, and frees the state.
void destroyState(ReplacementState* state);

bool openFile(ReplacementState& state, const char* path, FileFacts& facts, SystemError& error);
bool readFile(ReplacementState& state, char* buffer, std::size_t capacity, std::size_t& got,
              SystemError& error);
void closeFile(ReplacementState& state);

// Whether the file may be replaced: a file without any write permission counts as read-only
// even for a user whose privileges would override it.
bool isReadOnly(ReplacementState& state);
bool createTemporary(ReplacementState& state, SystemError& error);
// Gives the temporary file the original's owner, group, permissions and extended attributes.
bool copyAttributes(ReplacementState& state, SystemError& error);
bool writeTemporary(ReplacementState& state, const char* bytes, std::size_t count,
                    std::size_t& written, SystemError& error);
bool flushTemporary(ReplacementState& state, SystemError& error);
bool closeTemporary(ReplacementState& state, SystemError& error);

enum class PlaceResult { placed, fileChanged, failed };
// Puts the temporary file in the original's place, provided the name still stands for the file
// that was read and it is unchanged; otherwise leaves everything as it was.
PlaceResult placeTemporary(ReplacementState& state, SystemError& error);

void prepareSystem();

// For tests only: when set, called right before the temporary file is put in place, so that a
// test can change the folder at the last moment without racing the program.
extern void (*beforePlacingForTests)(void* context);
extern void* beforePlacingContextForTests;
