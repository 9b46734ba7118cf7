#include "text/AsciiCase.h"

#include <cstring>

void foldAsciiCase(char* chars, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        chars[i] = asciiLower(chars[i]);
    }
}

bool equalIgnoringAsciiCase(const char* a, const char* b, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool sameIgnoringAsciiCase(const char* a, const char* b) {
    const std::size_t length = std::strlen(a);
    return length == std::strlen(b) && equalIgnoringAsciiCase(a, b, length);
}
