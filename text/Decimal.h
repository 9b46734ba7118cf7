#pragma once

#include <cstdint>

#include "text/Text.h"

// The number of decimal digits of |n|: 0 for 0, and 0 for the most negative value, whose
// magnitude does not fit.
std::int32_t digitCount(std::int32_t n);

// The decimal numeral of n, without leading zeros or fill; a negative n gets a leading '-'.
Text toDecimal(std::int32_t n);
