#pragma once

#include <array>
#include <atomic>
#include <type_traits>

namespace tavro::audio {

// Hands a value from one writer thread to one reader thread, wait-free on both sides and
// without allocation: neither ever waits for the other, whatever their priorities.
//
// Three slots: the writer's, the reader's and the one in between, whose index is kept
// with a fresh bit in `middle_`. The writer fills its slot and trades it for the middle
// one, marking it fresh; the reader, when the middle slot is fresh, trades its slot for
// it. Invariant: the writer's index, the reader's index and the middle index are always
// 0, 1 and 2 in some order, so each slot has one owner, and a slot changes owner only by
// an exchange of `middle_`. Both exchanges are acq_rel because slots travel both ways:
// the writer's releases the value it wrote and acquires the slot the reader gave up (the
// reader's copying from it happens before the writer overwrites it); the reader's
// acquires the value and releases the slot it gives up.
template <typename T>
class TripleBuffer {
    static_assert(std::is_trivially_copyable_v<T> && std::is_default_constructible_v<T>);

public:
    explicit TripleBuffer(const T& initial = T{})
        : slots_{initial, initial, initial}
    {
    }

    // Writer thread only.
    void publish(const T& value)
    {
        slots_[back_] = value;
        back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kIndex;
    }

    // The latest value published, valid until the next call. Reader thread only (one
    // thread at a time; a new reader thread must start after the old one has stopped).
    const T& latest()
    {
        // Only the reader clears the bit: once seen it stays until the exchange, which is
        // what orders the slot's contents before our reads.
        if (middle_.load(std::memory_order_relaxed) & kFresh)
            front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndex;
        return slots_[front_];
    }

private:
    static constexpr unsigned kIndex = 3;
    static constexpr unsigned kFresh = 4;

    std::array<T, 3> slots_;
    std::atomic<unsigned> middle_{1};
    unsigned back_ = 0;   // the writer's
    unsigned front_ = 2;  // the reader's
};

}  // namespace tavro::audio
