#pragma once

#include <atomic>
#include <cstddef>

namespace os {

// The temporary files that exist right now, kept where a handler that ends the program can read
// them: fixed slots, filled and emptied without allocation, each with a flag that says whether its
// path is whole. A signal handler (POSIX) or the console handler's thread (Windows) removes every
// live one, so that a run with several files in flight leaves none of them behind. A path too long
// for a slot, or one past the last slot, is not registered: it is then only removed by the run.
template <typename Char, std::size_t Longest>
class LiveFiles {
  public:
    static constexpr int kSlots = 8;

    int add(const Char* path, std::size_t length) {
        if (length >= Longest) {
            return -1;
        }
        for (int slot = 0; slot < kSlots; ++slot) {
            int empty = kEmpty;
            if (state_[slot].compare_exchange_strong(empty, kFilling)) {
                for (std::size_t i = 0; i < length; ++i) {
                    paths_[slot][i] = path[i];
                }
                paths_[slot][length] = Char(0);
                state_[slot].store(kLive);
                return slot;
            }
        }
        return -1;
    }

    void drop(int slot) {
        if (slot >= 0 && slot < kSlots) {
            state_[slot].store(kEmpty);
        }
    }

    // Calls `remove` on each live path; safe in a signal handler when `remove` is.
    template <typename Remove>
    void removeAll(Remove remove) {
        for (int slot = 0; slot < kSlots; ++slot) {
            if (state_[slot].load() == kLive) {
                remove(paths_[slot]);
            }
        }
    }

  private:
    static constexpr int kEmpty = 0;
    static constexpr int kFilling = 1;
    static constexpr int kLive = 2;
    static_assert(std::atomic<int>::is_always_lock_free, "a handler may only read lock-free flags");

    Char paths_[kSlots][Longest] = {};
    std::atomic<int> state_[kSlots] = {};
};

}  // namespace os
