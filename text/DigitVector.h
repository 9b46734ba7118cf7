#pragma once

#include <cstdint>

// A growable array of 32-bit integers whose element access is checked: a bad index is a fault
// in the program, so it throws a ProgramFault (text/Cause.h) of kind badIndex, which the run
// reports on standard error and ends by its own way out, the file as it was or as it was placed.
class DigitVector {
  public:
    DigitVector();  // 10 elements, all 0
    ~DigitVector();
    DigitVector(const DigitVector&) = delete;
    DigitVector& operator=(const DigitVector&) = delete;

    std::int32_t count() const { return count_; }

    // Keeps the first min(newCount, count()) elements; new elements are 0. A negative count is
    // taken as 0.
    void resize(std::int32_t newCount);

    std::int32_t& at(std::int32_t index);

  private:
    std::int32_t count_;
    std::int32_t* elements_;
};
