#include "text/AsciiCase.h"

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
