#pragma once

#include <vector>

#include "text/Text.h"

// Writes one line of UTF-8 text and a line end to standard error so that it reads correctly
// wherever it goes: a console shows every character (Windows consoles are written in UTF-16,
// whatever their code page), and a file or pipe receives the UTF-8 bytes. The line is written as
// withControlsEscaped gives it.
void writeErrorLine(const Text& line);

// The lines, each as writeErrorLine writes it, in one write: a file's report of a hundred
// warnings is one system call, and a console draws it once.
void writeErrorLines(const std::vector<Text>& lines);

// `line` with every control character written as a visible `\xHH` (two lowercase hex digits), so
// that a title or path from a downloaded file cannot drive the terminal that shows it: set its
// title, write the clipboard, erase lines. Escaped are C0 (but tab) and DEL, the C1 code points
// U+0080-U+009F (the UTF-8 pair C2 80-9F, shown by its code point: C2 9B as `\x9b`), and a byte
// 0x80-0x9F that is no part of well-formed UTF-8, which an 8-bit terminal takes for C1. Every
// other byte is kept: well-formed UTF-8, Windows-1252 letters, and backslashes, which Windows
// paths are full of (so a `\x1b` shown may also be those four characters in the file).
Text withControlsEscaped(const Text& line);

// The same, appended to `shown`: a report is built in one buffer.
void appendControlsEscaped(Text& shown, const Text& line);

// Whether standard error goes to a terminal or console, where a progress line can be shown.
bool errorIsConsole();

// Shows `line` (escaped as above, cut to the console's width) on standard error in place of the
// progress line shown before, without a line end; the next writeErrorLine or an empty `line`
// erases it first. Nothing is written where standard error is no console.
void showProgress(const Text& line);

// Waits until the user presses a key: on an interactive console one key press, taken without
// echo and without waiting for Enter, the console's mode restored afterwards (on POSIX also when a
// signal ends the wait). When standard input is a pipe or a file, one line of at most 4
// characters is taken instead, and input at its end returns at once.
void waitForKey();
