#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tavro::audio {

// Hands a value from one writer to any number of readers without locks or allocation.
// The value is kept as words in atomics, so a reader racing the writer never has a data
// race; it may copy a mix of old and new words, which the sequence number (odd while
// the writer is at work) tells it, and then it tries again.
//
// Writers must not overlap: one thread writes, or the writers share a lock.
template <typename T>
class Seqlock {
    static_assert(std::is_trivially_copyable_v<T> && std::is_default_constructible_v<T>);

public:
    explicit Seqlock(const T& initial = T{}) { store(initial); }

    // Wait-free.
    void store(const T& value)
    {
        Words words{};
        std::memcpy(words.data(), &value, sizeof(T));
        const std::uint64_t seq = sequence_.load(std::memory_order_relaxed);  // the writer's own
        sequence_.store(seq + 1, std::memory_order_relaxed);
        // Keeps the odd number ahead of every word stored below: a reader that sees any
        // of them also sees the sequence move on.
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t i = 0; i < kWords; ++i)
            words_[i].store(words[i], std::memory_order_relaxed);
        sequence_.store(seq + 2, std::memory_order_release);
    }

    // A whole copy of the latest value. Lock-free: retries only while a store is under
    // way, which takes a few stores.
    T load() const
    {
        for (;;) {
            const std::uint64_t before = sequence_.load(std::memory_order_acquire);
            if (before & 1)
                continue;
            Words words;
            for (std::size_t i = 0; i < kWords; ++i)
                words[i] = words_[i].load(std::memory_order_relaxed);
            // Keeps the word loads above ahead of the second look at the sequence.
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence_.load(std::memory_order_relaxed) == before) {
                T value;
                std::memcpy(static_cast<void*>(&value), words.data(), sizeof(T));
                return value;
            }
        }
    }

private:
    static constexpr std::size_t kWords = (sizeof(T) + 7) / 8;
    using Words = std::array<std::uint64_t, kWords>;

    std::atomic<std::uint64_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, kWords> words_{};
};

}  // namespace tavro::audio
