#pragma once

#include "text/Text.h"

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
