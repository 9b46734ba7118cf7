#include "text/DigitVector.h"

#include <algorithm>

#include "text/Cause.h"

DigitVector::DigitVector() : count_(10), elements_(new std::int32_t[10]()) {}

DigitVector::~DigitVector() {
    delete[] elements_;
}

void DigitVector::resize(std::int32_t newCount) {
    newCount = std::max<std::int32_t>(newCount, 0);
    auto* fresh = new std::int32_t[static_cast<std::size_t>(newCount)]();
    std::copy(elements_, elements_ + std::min(newCount, count_), fresh);
    delete[] elements_;
    elements_ = fresh;
    count_ = newCount;
}

std::int32_t& DigitVector::at(std::int32_t index) {
    if (index < 0 || index >= count_) {
        throw ProgramFault(CauseKind::badIndex, index, std::int64_t{count_} - 1);
    }
    return elements_[index];
}
