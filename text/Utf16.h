#pragma once

#include <cstddef>

#include "text/Cause.h"

// Conversion between UTF-16 bytes and UTF-8, a chunk at a time, so that a UTF-16 file can be read
// and written by code that works on 8-bit text and is never held twice in memory.
//
// The round trip is exact: UTF-16 that decodes without refusal encodes back to the same bytes.
// So the decoder refuses what UTF-8 cannot carry faithfully (an unpaired surrogate) and what this
// program refuses in any file (a U+0000 character, which would end a line early in memory).

enum class ByteOrder { littleEndian, bigEndian };

// UTF-16 is converted in pieces of this many bytes, so that the other side fits a small stack
// buffer.
constexpr std::size_t kUtf16Piece = 8192;

class Utf16Decoder {
  public:
    explicit Utf16Decoder(ByteOrder order) : order_(order) {}

    // The UTF-8 that `count` bytes of UTF-16 may decode to, at most, with what earlier chunks
    // left unfinished: the size that `out` must have.
    static constexpr std::size_t maxDecodedSize(std::size_t count) { return (count / 2 + 2) * 3; }

    // Decodes `count` bytes into `out` and stores the number of UTF-8 bytes written in `written`.
    // A code unit or surrogate pair split between chunks is finished by the next call. False,
    // with the cause in `why` (an unpaired surrogate, a U+0000 character), when the input is not
    // UTF-16 this program can keep exactly.
    bool decode(const char* bytes, std::size_t count, char* out, std::size_t& written, Cause& why);
    // Ends the input: false when it stopped inside a code unit or a surrogate pair.
    bool finish(Cause& why) const;

  private:
    bool put(unsigned unit, char*& out, Cause& why);

    ByteOrder order_;
    unsigned char oddByte_ = 0;
    bool haveOddByte_ = false;
    unsigned highSurrogate_ = 0;  // 0 when none is waiting for its low half
};

class Utf16Encoder {
  public:
    explicit Utf16Encoder(ByteOrder order) : order_(order) {}

    // The UTF-16 bytes that `count` bytes of UTF-8 may encode to, at most: the size `out` needs.
    static constexpr std::size_t maxEncodedSize(std::size_t count) { return (count + 4) * 2; }

    // Encodes `count` bytes of UTF-8 into `out`, keeping a sequence split between chunks for the
    // next call. False for bytes that are not well-formed UTF-8, which the decoder never produces:
    // a byte that cannot start or continue a sequence, an overlong form, an encoded surrogate
    // (ED A0 80) and anything past U+10FFFF (F4 90 80 80).
    bool encode(const char* bytes, std::size_t count, char* out, std::size_t& written);
    // True when the input ended on a whole character.
    bool finished() const { return pendingCount_ == 0; }

  private:
    void putUnit(unsigned unit, char*& out) const;

    ByteOrder order_;
    unsigned char pending_[4] = {0, 0, 0, 0};
    int pendingCount_ = 0;
};
