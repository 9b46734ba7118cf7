#include "text/Utf16.h"

#include "text/Utf8.h"

namespace {

bool isHigh(unsigned unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLow(unsigned unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

bool Utf16Decoder::put(unsigned unit, char*& out, Cause& why) {
    if (highSurrogate_ != 0) {
        if (!isLow(unit)) {
            why = causeOf(CauseKind::unpairedSurrogate);
            return false;
        }
        const std::size_t put =
            putUtf8(0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00), out);
        out += put;
        highSurrogate_ = 0;
        return true;
    }
    if (isHigh(unit)) {
        highSurrogate_ = unit;
        return true;
    }
    if (isLow(unit)) {
        why = causeOf(CauseKind::unpairedSurrogate);
        return false;
    }
    if (unit == 0) {
        why = causeOf(CauseKind::nulCharacter);
        return false;
    }
    const std::size_t put = putUtf8(unit, out);
    out += put;
    return true;
}

bool Utf16Decoder::decode(const char* bytes, std::size_t count, char* out, std::size_t& written,
                          Cause& why) {
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

bool Utf16Decoder::finish(Cause& why) const {
    if (haveOddByte_) {
        why = causeOf(CauseKind::oddByteCount);
        return false;
    }
    if (highSurrogate_ != 0) {
        why = causeOf(CauseKind::unpairedSurrogate);
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
        const int needed = static_cast<int>(utf8LengthFrom(pending_[0]));
        if (needed == 0 || (pendingCount_ == 2 && !utf8SecondByteFits(pending_[0], pending_[1])) ||
            (pendingCount_ > 2 && !isUtf8Continuation(pending_[pendingCount_ - 1]))) {
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
