#pragma once

#include "audio/played_position.h"
#include "audio/sound_route.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tavro::audio {

// News of a route, as its RouteListener was told it.
struct RouteNews {
    enum class Kind : std::uint8_t { Started, Moved, Absent, Failed };
    Kind kind = Kind::Started;
    std::uint64_t attempt = 0;
    PlayedPosition frameZero{};     // Started
    Absence absence = Absence::NoServer;  // Absent
    const char* reason = nullptr;   // Failed: a string of static storage
};

// Carries news from the routes' threads (a real-time one among them) to the thread that
// acts on it, without locks or allocation: a bounded queue in which each slot's sequence
// number says whose turn it is (a producer claims a slot by one compare-and-swap of the
// tail; the consumer frees it by moving its sequence on a lap). post() never waits for
// the consumer; with the queue full it drops the news and says so. One consumer.
class RouteMailbox {
public:
    static constexpr std::size_t kCapacity = 32;  // a few news per attempt at most

    RouteMailbox()
    {
        for (std::size_t i = 0; i < kCapacity; ++i)
            slots_[i].sequence.store(i, std::memory_order_relaxed);
    }

    bool post(const RouteNews& news)
    {
        std::size_t tail = tail_.load(std::memory_order_relaxed);
        for (;;) {
            Slot& slot = slots_[tail % kCapacity];
            const std::size_t sequence = slot.sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::ptrdiff_t>(sequence - tail);
            if (lag == 0) {
                if (tail_.compare_exchange_weak(tail, tail + 1, std::memory_order_relaxed)) {
                    slot.news = news;
                    slot.sequence.store(tail + 1, std::memory_order_release);
                    return true;
                }
            } else if (lag < 0) {
                return false;  // full: the consumer is a lap behind
            } else {
                tail = tail_.load(std::memory_order_relaxed);
            }
        }
    }

    // The oldest news not yet taken; false when there is none. Consumer only.
    bool take(RouteNews& news)
    {
        Slot& slot = slots_[head_ % kCapacity];
        if (slot.sequence.load(std::memory_order_acquire) != head_ + 1)
            return false;
        news = slot.news;
        slot.sequence.store(head_ + kCapacity, std::memory_order_release);
        ++head_;
        return true;
    }

private:
    struct Slot {
        std::atomic<std::size_t> sequence{0};
        RouteNews news;
    };
    std::array<Slot, kCapacity> slots_;
    std::atomic<std::size_t> tail_{0};
    std::size_t head_ = 0;  // the consumer's
};

}  // namespace tavro::audio
