#pragma once

#include <cstddef>

// Letter case as the simulators and Windows compare names: ASCII letters only, whatever the
// locale, so that no locale decides which entry, title or file matches which. Bytes outside A-Z
// (UTF-8 sequences, Windows-1252 letters) are compared as they are.

constexpr char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Lowers the ASCII letters of chars[0, count) in place.
void foldAsciiCase(char* chars, std::size_t count);

// Whether a[0, count) and b[0, count) are the same but for ASCII letter case.
bool equalIgnoringAsciiCase(const char* a, const char* b, std::size_t count);

// Whether the NUL-terminated `a` and `b` are the same but for ASCII letter case.
bool sameIgnoringAsciiCase(const char* a, const char* b);
