#include "text/Text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <ostream>

namespace {

char* newBuffer(std::int64_t capacity) {
    // A buffer the 32-bit fields cannot describe is as unobtainable as one the heap refuses.
    if (capacity < 1 || capacity > INT32_MAX) {
        throw std::bad_alloc();
    }
    void* buffer = std::malloc(static_cast<std::size_t>(capacity));
    if (buffer == nullptr) {
        throw std::bad_alloc();
    }
    return static_cast<char*>(buffer);
}

std::int32_t lengthOf(const char* chars) {
    const std::size_t n = std::strlen(chars);
    if (n > static_cast<std::size_t>(Text::maxLength)) {
        throw std::bad_alloc();
    }
    return static_cast<std::int32_t>(n);
}

}  // namespace

char Text::emptyBuffer_[1] = {'\0'};

Text::Text(const char* chars)
    : length_(lengthOf(chars)), capacity_(length_ + 1), data_(newBuffer(capacity_)) {
    std::memcpy(data_, chars, static_cast<std::size_t>(length_) + 1);
}

Text::Text(const char* chars, std::size_t count) : length_(0), capacity_(0), data_(nullptr) {
    if (count > static_cast<std::size_t>(maxLength)) {
        throw std::bad_alloc();
    }
    length_ = static_cast<std::int32_t>(count);
    capacity_ = length_ + 1;
    data_ = newBuffer(capacity_);
    if (count > 0) {  // `chars` may be null then, which memcpy must not see
        std::memcpy(data_, chars, count);
    }
    data_[length_] = '\0';
}

Text::Text(const Text& other)
    : length_(other.length_), capacity_(other.length_ + 1), data_(newBuffer(capacity_)) {
    std::memcpy(data_, other.data_, static_cast<std::size_t>(length_) + 1);
}

Text::~Text() {
    if (owned()) {
        std::free(data_);
    }
}

void Text::replaceBuffer(std::int64_t newCapacity, bool keepContent) {
    if (keepContent && !owned()) {
        // A borrowed buffer is left to its owner: the content moves to a buffer of the Text's own.
        char* fresh = newBuffer(newCapacity);
        std::memcpy(fresh, data_, static_cast<std::size_t>(length_) + 1);
        data_ = fresh;
    } else if (keepContent) {
        // realloc can grow in place, or move a large buffer's pages without copying them.
        if (newCapacity < 1 || newCapacity > INT32_MAX) {
            throw std::bad_alloc();
        }
        void* grown = std::realloc(data_, static_cast<std::size_t>(newCapacity));
        if (grown == nullptr) {
            throw std::bad_alloc();  // the old buffer is still ours and intact
        }
        data_ = static_cast<char*>(grown);
    } else {
        char* fresh = newBuffer(newCapacity);
        fresh[0] = '\0';
        length_ = 0;
        if (owned()) {
            std::free(data_);
        }
        data_ = fresh;
    }
    capacity_ = static_cast<std::int32_t>(newCapacity);
}

Text& Text::operator=(const Text& other) {
    if (this == &other) {
        return *this;
    }
    if (capacity() < other.length_ + 1) {
        replaceBuffer(std::int64_t{other.length_} + 1, false);
    }
    length_ = other.length_;
    std::memcpy(data_, other.data_, static_cast<std::size_t>(length_) + 1);
    return *this;
}

Text& Text::operator=(Text&& other) noexcept {
    if (capacity() >= other.length_ + 1) {
        // Fits: behave exactly like a copy, so that a reused buffer is kept.
        length_ = other.length_;
        std::memmove(data_, other.data_, static_cast<std::size_t>(length_) + 1);
        return *this;
    }
    std::swap(length_, other.length_);
    std::swap(capacity_, other.capacity_);
    std::swap(data_, other.data_);
    return *this;
}

Text& Text::operator=(const char* chars) {
    const std::int32_t n = lengthOf(chars);
    if (capacity() < n + 1) {
        // `chars` may point into this buffer only when it fits, so replacing is safe here.
        replaceBuffer(std::int64_t{n} + 1, false);
    }
    std::memmove(data_, chars, static_cast<std::size_t>(n) + 1);
    length_ = n;
    return *this;
}

Text& Text::operator=(char ch) {
    if (capacity() < 2) {
        replaceBuffer(2, false);
    }
    data_[0] = ch;
    data_[1] = '\0';
    length_ = 1;
    return *this;
}

Text& Text::operator+=(const Text& other) {
    if (&other == this) {
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): other is *this
        const Text copy(other);
        return *this += copy;
    }
    const std::int64_t newLength = std::int64_t{length_} + other.length_;
    if (newLength > maxLength) {
        throw std::bad_alloc();
    }
    if (newLength >= capacity()) {
        std::int64_t grown = newLength + 1;
        if (other.length_ == 1) {
            grown = std::min<std::int64_t>(grown * 2, INT32_MAX);
        }
        replaceBuffer(grown, true);
    }
    std::memcpy(data_ + length_, other.data_, static_cast<std::size_t>(other.length_) + 1);
    length_ = static_cast<std::int32_t>(newLength);
    return *this;
}

// The same growth as appending a one-character Text, without making one.
Text& Text::operator+=(char ch) {
    if (length_ >= maxLength) {
        throw std::bad_alloc();
    }
    if (length_ + 1 >= capacity()) {
        replaceBuffer(std::min<std::int64_t>((std::int64_t{length_} + 2) * 2, INT32_MAX), true);
    }
    data_[length_] = ch;
    data_[++length_] = '\0';
    return *this;
}

std::int32_t Text::find(const Text& needle) const {
    if (needle.length_ == 0) {
        return 0;
    }
    const char first = needle.data_[0];
    const std::int32_t last = length_ - needle.length_;
    for (std::int32_t i = 0; i <= last; ++i) {
        if (data_[i] == first &&
            std::memcmp(data_ + i, needle.data_, static_cast<std::size_t>(needle.length_)) == 0) {
            return i;
        }
    }
    return -1;
}

void Text::reserve(std::int64_t minCapacity) {
    const std::int32_t current = capacity();
    if (minCapacity <= current) {
        return;
    }
    // Growing by half again keeps repeated appends linear while the slack stays under 50%.
    const std::int64_t geometric = std::int64_t{current} + current / 2;
    replaceBuffer(std::min<std::int64_t>(std::max(minCapacity, geometric), INT32_MAX), true);
}

Text& Text::appendGrowing(const char* chars, std::size_t count) {
    if (count > static_cast<std::size_t>(maxLength - length_)) {
        throw std::bad_alloc();
    }
    // `chars` may lie inside this buffer, which reserve() may move.
    const bool inside = !std::less<const char*>()(chars, data_) &&
                        std::less<const char*>()(chars, data_ + capacity());
    const std::ptrdiff_t offset = inside ? chars - data_ : 0;
    reserve(std::int64_t{length_} + static_cast<std::int64_t>(count) + 1);
    if (inside) {
        chars = data_ + offset;
    }
    std::memmove(data_ + length_, chars, count);
    length_ += static_cast<std::int32_t>(count);
    data_[length_] = '\0';
    return *this;
}

Text operator+(const Text& left, const Text& right) {
    Text result(left);
    result += right;
    return result;
}

bool operator==(const Text& left, const Text& right) {
    return std::strcmp(left.c_str(), right.c_str()) == 0;
}

bool operator!=(const Text& left, const Text& right) {
    return !(left == right);
}

std::ostream& operator<<(std::ostream& out, const Text& text) {
    return out.write(text.c_str(), text.length());
}
