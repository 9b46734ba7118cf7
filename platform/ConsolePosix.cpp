#include <iostream>

#include "platform/Console.h"

// A terminal, a file and a pipe all take the UTF-8 bytes as they are.
void writeErrorLine(const Text& line) {
    std::cerr << line << '\n';
}
