#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>

// The program's string: every line, header, body and numeral is a Text.
//
// A Text owns a NUL-terminated heap buffer alone (copies never share), and that buffer only ever
// grows. The one exception is a Text made by over(): it uses a buffer that something longer-lived
// owns (the memory a section list stands in), never frees it, and moves to a heap buffer of its
// own only when it must grow. Its characters never contain a NUL, so length() is always the
// distance to the terminator. The capacities that the operations below produce are part of the
// contract: the loader relies on a reused Text no longer reallocating once it has held its longest
// line.
//
// No operation reports an error. A buffer that cannot be obtained, including one that would not
// fit the 32-bit length, raises std::bad_alloc from the allocation; callers that can meet very
// large input check their sizes against maxLength first.
class Text {
  public:
    // The longest content a Text can hold: the 32-bit capacity includes the terminator.
    static constexpr std::int32_t maxLength = INT32_MAX - 1;

    // An empty Text takes no buffer: it is over one terminator that every empty Text shares, and
    // takes a buffer of its own with its first character.
    Text() noexcept : length_(0), capacity_(-1), data_(emptyBuffer_) {}
    Text(const char* chars);  // NOLINT(google-explicit-constructor): literals read naturally
    // The `count` characters at `chars`, which hold no NUL, in an exact-fit buffer.
    Text(const char* chars, std::size_t count);
    Text(const Text& other);
    // Takes over `other`'s buffer and leaves it empty, as Text() is, so it stays a valid Text.
    Text(Text&& other) noexcept
        : length_(other.length_), capacity_(other.capacity_), data_(other.data_) {
        other.length_ = 0;
        other.capacity_ = -1;
        other.data_ = emptyBuffer_;
    }
    ~Text();

    Text& operator=(const Text& other);
    // Copies into this buffer when it is large enough, as copy assignment does; otherwise takes
    // over `other`'s buffer and leaves it this Text's old one.
    Text& operator=(Text&& other) noexcept;
    Text& operator=(const char* chars);
    Text& operator=(char ch);

    // A Text over `buffer`, whose first `length` characters (no NUL among them) are its content
    // and whose byte at `length` is its terminator; the Text may use `capacity` bytes there. The
    // buffer must outlive the Text, and every Text it was moved or swapped into.
    static Text over(char* buffer, std::int32_t length, std::int32_t capacity) {
        return Text(buffer, length, capacity);
    }

    std::int32_t length() const { return length_; }
    std::int32_t capacity() const { return capacity_ < 0 ? -capacity_ : capacity_; }
    const char* c_str() const { return data_; }
    bool empty() const { return length_ == 0; }

    // Appending another Text grows an exact fit, or twice that for a single character, so
    // building a numeral digit by digit stays cheap.
    Text& operator+=(const Text& other);
    Text& operator+=(char ch);

    // Index of the first occurrence of `needle`, or -1. An empty needle is found at 0.
    std::int32_t find(const Text& needle) const;

    // For building large content piece by piece in linear time: reserve() grows the buffer
    // geometrically to at least minCapacity bytes, and append() uses it. `count` characters
    // without NUL are taken from `chars`; length() + count must not exceed maxLength.
    void reserve(std::int64_t minCapacity);
    Text& append(const char* chars, std::size_t count) {
        if (count < static_cast<std::size_t>(capacity() - length_)) {  // fits: the common case
            std::memmove(data_ + length_, chars, count);
            length_ += static_cast<std::int32_t>(count);
            data_[length_] = '\0';
            return *this;
        }
        return appendGrowing(chars, count);
    }

    // Empties the Text and keeps its buffer.
    void clear() {
        length_ = 0;
        data_[0] = '\0';
    }

  private:
    Text(char* buffer, std::int32_t length, std::int32_t capacity)
        : length_(length), capacity_(-capacity), data_(buffer) {}
    bool owned() const { return capacity_ > 0; }
    Text& appendGrowing(const char* chars, std::size_t count);
    void replaceBuffer(std::int64_t newCapacity, bool keepContent);

    static char emptyBuffer_[1];  // only ever holds its terminator

    std::int32_t length_;
    std::int32_t capacity_;  // negative for a buffer the Text does not own (over())
    char* data_;
};

Text operator+(const Text& left, const Text& right);
bool operator==(const Text& left, const Text& right);
bool operator!=(const Text& left, const Text& right);
std::ostream& operator<<(std::ostream& out, const Text& text);
