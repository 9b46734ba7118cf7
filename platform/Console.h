#pragma once

#include <vector>

#include "text/ControlsEscaped.h"
#include "text/Text.h"

// Writes one line of UTF-8 text and a line end to standard error so that it reads correctly
// wherever it goes: a console shows every character (Windows consoles are written in UTF-16,
// whatever their code page), and a file or pipe receives the UTF-8 bytes. The line is written as
// withControlsEscaped gives it.
void writeErrorLine(const Text& line);

// The lines, each as writeErrorLine writes it, in one write: a file's report of a hundred
// warnings is one system call, and a console draws it once.
void writeErrorLines(const std::vector<Text>& lines);

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
