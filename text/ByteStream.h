#pragma once

#include <cstddef>

#include "text/Cause.h"

// Where bytes come from and where they go, so that the code that gives bytes their meaning never
// needs to know what lies behind them: a file being read or replaced, or memory. Each call either
// does its whole job or returns false with the cause in `why`.

struct ByteSource {
    // Delivers up to `capacity` bytes in `got`; 0 bytes at the end of the input.
    bool (*read)(void* context, char* buffer, std::size_t capacity, std::size_t& got, Cause& why);
    void* context;
};

struct ByteSink {
    // Takes all `count` bytes.
    bool (*write)(void* context, const char* bytes, std::size_t count, Cause& why);
    void* context;
};

// The piece size in which a whole file is read and written: large enough that system calls cost
// nothing next to the work on the bytes, small enough for the stack.
constexpr std::size_t kStreamChunk = std::size_t{1} << 16;

// Reads `source` to its end in pieces of kStreamChunk and hands each to `sink`; false, with the
// cause of whichever refused, as soon as one does.
bool copyAll(ByteSource source, ByteSink sink, Cause& why);
