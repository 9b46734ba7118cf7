#include "text/Decimal.h"

#include <gtest/gtest.h>

#include <climits>

#include "text/Cause.h"
#include "text/DigitVector.h"

namespace {

TEST(Decimal, WritesNumerals) {
    const struct {
        std::int32_t n;
        const char* numeral;
    } rows[] = {
        {0, "0"},       {7, "7"},
        {10, "10"},     {123, "123"},
        {1000, "1000"}, {INT32_MAX, "2147483647"},
        {-45, "-45"},   {INT32_MIN, "-2147483648"},
    };
    for (const auto& row : rows) {
        EXPECT_STREQ(toDecimal(row.n).c_str(), row.numeral) << row.n;
    }
}

TEST(Decimal, CountsDigitsOfTheMagnitude) {
    const struct {
        std::int32_t n;
        std::int32_t digits;
    } rows[] = {{0, 0}, {9, 1}, {10, 2}, {-45, 2}, {INT32_MAX, 10}, {INT32_MIN, 0}};
    for (const auto& row : rows) {
        EXPECT_EQ(digitCount(row.n), row.digits) << row.n;
    }
}

TEST(DigitVector, ResizeKeepsTheLeadingElements) {
    DigitVector v;
    EXPECT_EQ(v.count(), 10);
    v.at(0) = 4;
    v.at(2) = 6;
    v.resize(3);
    EXPECT_EQ(v.count(), 3);
    EXPECT_EQ(v.at(0), 4);
    EXPECT_EQ(v.at(2), 6);
    v.resize(0);
    EXPECT_EQ(v.count(), 0);
}

// A bad index is a fault in the program: it is thrown to the run's own way out, which reports it
// with the index and the largest one there was.
TEST(DigitVector, ABadIndexIsAFaultWithItsNumbers) {
    const struct {
        std::int32_t count;
        std::int32_t index;
        const char* words;
    } rows[] = {
        {3, 3, "Illegal vector index: 3 max index = 2"},
        {3, -1, "Illegal vector index: -1 max index = 2"},
        {0, 0, "Illegal vector index: 0 max index = -1"},
    };
    for (const auto& row : rows) {
        DigitVector v;
        v.resize(row.count);
        try {
            v.at(row.index) = 1;
            ADD_FAILURE() << "no fault for index " << row.index;
        } catch (const ProgramFault& fault) {
            const Cause cause = fault.cause();
            EXPECT_EQ(cause.kind, CauseKind::badIndex);
            EXPECT_EQ(cause.index, row.index);
            EXPECT_EQ(cause.largest, row.count - 1);
            EXPECT_STREQ(worded(cause).c_str(), row.words);
        }
    }
}

}  // namespace
