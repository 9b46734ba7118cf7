#pragma once

// For tests only: the moments of a replacement at which a test may change the folder without
// racing the program. When set, the hook is called at each of them.
enum class TestMoment {
    beforePlacing,  // right before the temporary file is put in place
    beforeSwap,     // after the last check of the name, right before a swap of names
    afterSwap,      // right after the swap, before what it took out is checked
};
extern void (*atMomentForTests)(TestMoment moment, void* context);
extern void* momentContextForTests;

inline void reachMomentForTests(TestMoment moment) {
    if (atMomentForTests != nullptr) {
        atMomentForTests(moment, momentContextForTests);
    }
}

// For tests only: what file systems offer is learnt once for each device; a test that puts other
// primitives in the table must have it learnt again.
void forgetProbedDevicesForTests();
