#include "text/Decimal.h"

#include <climits>

#include "text/DigitVector.h"

namespace {

// Entry numbers never go below 0; this keeps the function total all the same.
Text negativeDecimal(std::int32_t n) {
    std::uint32_t magnitude = 0u - static_cast<std::uint32_t>(n);
    char digits[12];
    char* first = digits + sizeof digits - 1;
    *first = '\0';
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    *--first = '-';
    return Text(first);
}

}  // namespace

std::int32_t digitCount(std::int32_t n) {
    if (n == INT32_MIN) {
        return 0;
    }
    if (n < 0) {
        n = -n;
    }
    std::int32_t count = 0;
    while (n > 0) {
        n /= 10;
        ++count;
    }
    return count;
}

Text toDecimal(std::int32_t n) {
    Text result;
    if (n < 0) {
        result = negativeDecimal(n);
        return result;
    }
    DigitVector digits;
    const std::int32_t count = digitCount(n);
    digits.resize(count);
    for (std::int32_t i = 0, v = n; v > 0; ++i, v /= 10) {
        digits.at(i) = v % 10;  // least significant digit first
    }
    for (std::int32_t i = count - 1; i >= 0; --i) {
        result += static_cast<char>('0' + digits.at(i));
    }
    if (n == 0) {
        result = '0';
    }
    return result;
}
