#pragma once

#include <cstddef>
#include <cstdint>

// Well-formed UTF-8 as RFC 3629 has it, the one statement of it in the program: the UTF-16
// converter, the JSON reader and the console's escaping all ask here.

// The most bytes that one code point takes.
constexpr std::size_t kMostUtf8Bytes = 4;

// Writes the UTF-8 of `point` (at most U+10FFFF, not a surrogate) at `out`; the bytes written.
std::size_t putUtf8(std::uint32_t point, char* out);

// The length of the sequence that `lead` starts, or 0 when it can start none (a continuation
// byte, C0, C1 or F5 and above).
std::size_t utf8LengthFrom(unsigned char lead);

// Whether `second` may follow `lead`. After some leads the range is narrower, which rules out
// overlong forms (E0, F0), surrogates (ED) and points past U+10FFFF (F4).
bool utf8SecondByteFits(unsigned char lead, unsigned char second);

// Whether `byte` continues a sequence (10xxxxxx).
constexpr bool isUtf8Continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed sequence at bytes[0, left), or 0 where none starts.
std::size_t utf8SequenceAt(const unsigned char* bytes, std::size_t left);
