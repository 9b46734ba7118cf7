#pragma once

#include "text/Text.h"

// Writes one line of UTF-8 text and a line end to standard error so that it reads correctly
// wherever it goes: a console shows every character (Windows consoles are written in UTF-16,
// whatever their code page), and a file or pipe receives the UTF-8 bytes.
void writeErrorLine(const Text& line);
