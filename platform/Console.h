#pragma once

#include "text/Text.h"

// Writes one line of UTF-8 text and a line end to standard error so that it reads correctly
// wherever it goes: a console shows every character (Windows consoles are written in UTF-16,
// whatever their code page), and a file or pipe receives the UTF-8 bytes.
void writeErrorLine(const Text& line);

// Waits until the user presses a key: on an interactive console one key press, taken without
// echo and without waiting for Enter, the console's mode restored afterwards (on POSIX also when a
// signal ends the wait). When standard input is a pipe or a file, one line of at most 4
// characters is taken instead, and input at its end returns at once.
void waitForKey();
