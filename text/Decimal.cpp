#include "text/Decimal.h"

#include <climits>
#include <cstring>
#include <string>

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

std::size_t writeDecimal(std::int32_t n, char* out) {
    // Entry numbers never go below 0; the magnitude keeps the function total all the same.
    std::uint32_t magnitude =
        n < 0 ? 0u - static_cast<std::uint32_t>(n) : static_cast<std::uint32_t>(n);
    char digits[kLongestDecimal];
    char* first = digits + sizeof digits;
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (n < 0) {
        *--first = '-';
    }
    const auto count = static_cast<std::size_t>(digits + sizeof digits - first);
    std::memcpy(out, first, count);
    return count;
}

Text toDecimal(std::int32_t n) {
    char digits[kLongestDecimal];
    return Text(digits, writeDecimal(n, digits));
}

Text decimalOf(std::int64_t n) {
    return Text(std::to_string(n).c_str());
}
