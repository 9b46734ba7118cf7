#include "text/Utf16.h"

namespace {

bool isHigh(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLow(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void putUtf8(unsigned point, char*& out) {
    if (point < 0x80) {
        *out++ = static_cast<char>(point);
    } else if (point < 0x800) {
        *out++ = static_cast<char>(0xC0 | (point >> 6));
        *out++ = static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (point >> 12));
        *out++ = static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (point & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (point >> 18));
        *out++ = static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (point & 0x3F));
    }
}

// The length of the UTF-8 sequence that starts with `lead`, or 0 when it cannot start one.
int sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Whether `second` may follow `lead`. After some leads the range is narrower, which rules out
// overlong forms (E0, F0), surrogates (ED) and points past U+10FFFF (F4).
bool secondByteFits(unsigned char lead, unsigned char second) {
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead == 0xE0) {
        low = 0xA0;
    } else if (lead == 0xED) {
        high = 0x9F;
    } else if (lead == 0xF0) {
        low = 0x90;
    } else if (lead == 0xF4) {
        high = 0x8F;
    }
    return second >= low && second <= high;
}

}  // namespace

bool Utf16Decoder::put(unsigned unit, char*& out, Text& why) {
    if (highSurrogate_ != 0) {
        if (!isLow(unit)) {
            why = kUnpairedSurrogate;
            return false;
        }
        putUtf8(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00), out);
        highSurrogate_ = 0;
        return true;
    }
    if (isHigh(unit)) {
        highSurrogate_ = unit;
        return true;
    }
    if (isLow(unit)) {
        why = kUnpairedSurrogate;
        return false;
    }
    if (unit == 0) {
        why = kNulCharacter;
        return false;
    }
    putUtf8(unit, out);
    return true;
}

bool Utf16Decoder::decode(const char* bytes, std::size_t count, char* out, std::size_t& written,
                          Text& why) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    char* const start = out;
    written = 0;
    auto unitOf = [this](unsigned char first, unsigned char second) {
        return order_ == ByteOrder::littleEndian ? first | (second << 8u) : (first << 8u) | second;
    };
    if (haveOddByte_ && count > 0) {
        haveOddByte_ = false;
        if (!put(unitOf(oddByte_, in[0]), out, why)) {
            return false;
        }
        ++in;
        --count;
    }
    for (; count >= 2; in += 2, count -= 2) {
        if (!put(unitOf(in[0], in[1]), out, why)) {
            return false;
        }
    }
    if (count == 1) {
        oddByte_ = in[0];
        haveOddByte_ = true;
    }
    written = static_cast<std::size_t>(out - start);
    return true;
}

bool Utf16Decoder::finish(Text& why) const {
    if (haveOddByte_) {
        why = kOddByteCount;
        return false;
    }
    if (highSurrogate_ != 0) {
        why = kUnpairedSurrogate;
        return false;
    }
    return true;
}

void Utf16Encoder::putUnit(unsigned unit, char*& out) const {
    const auto high = static_cast<char>(unit >> 8);
    const auto low = static_cast<char>(unit & 0xFF);
    *out++ = order_ == ByteOrder::littleEndian ? low : high;
    *out++ = order_ == ByteOrder::littleEndian ? high : low;
}

bool Utf16Encoder::encode(const char* bytes, std::size_t count, char* out, std::size_t& written) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes);
    char* const start = out;
    written = 0;
    while (count > 0) {
        pending_[pendingCount_++] = *in++;
        --count;
        const int needed = sequenceLength(pending_[0]);
        if (needed == 0 || (pendingCount_ == 2 && !secondByteFits(pending_[0], pending_[1])) ||
            (pendingCount_ > 2 && (pending_[pendingCount_ - 1] & 0xC0) != 0x80)) {
            return false;
        }
        if (pendingCount_ < needed) {
            continue;
        }
        unsigned point = needed == 1 ? pending_[0] : pending_[0] & (0x7F >> needed);
        for (int i = 1; i < needed; ++i) {
            point = (point << 6) | (pending_[i] & 0x3Fu);
        }
        pendingCount_ = 0;
        if (point >= 0x10000) {
            putUnit(0xD800 + ((point - 0x10000) >> 10), out);
            putUnit(0xDC00 + ((point - 0x10000) & 0x3FF), out);
        } else {
            putUnit(point, out);
        }
    }
    written = static_cast<std::size_t>(out - start);
    return true;
}
