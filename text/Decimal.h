#pragma once

#include <cstddef>
#include <cstdint>

#include "text/Text.h"

// The number of decimal digits of |n|: 0 for 0, and 0 for the most negative value, whose
// magnitude does not fit.
std::int32_t digitCount(std::int32_t n);

// The longest numeral writeDecimal writes: a '-' and ten digits.
constexpr std::size_t kLongestDecimal = 11;

// Writes the decimal numeral of n to out[0, kLongestDecimal), without leading zeros, fill or
// terminator, a negative n with a leading '-'; returns its length. For the loops that number
// every entry and must not take a buffer for each numeral.
std::size_t writeDecimal(std::int32_t n, char* out);

// The decimal numeral of n, without leading zeros or fill; a negative n gets a leading '-'.
Text toDecimal(std::int32_t n);

// The same for a number that may pass 32 bits: a file's size, a byte's place in a file.
Text decimalOf(std::int64_t n);
