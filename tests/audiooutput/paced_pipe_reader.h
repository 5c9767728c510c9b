#pragma once

#include "audio/click_schedule.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace tavro::audio::testing {

// The far end of a sound server's pipe sink, played as a sound card plays: 48 kHz mono
// 16-bit samples are taken out of the FIFO at exactly that rate, on a real-time thread,
// and each counts as heard the moment it is taken. So the sink's latency is what the
// pipe holds, which the server reports as the sink's latency, and the reader knows on
// the steady clock when every sample was heard. While the sink writes nothing (idle or
// suspended) the reader hears silence, as a device would.
class PacedPipeReader {
public:
    // Opens the FIFO and gives its pipe `pipeBytes` of room (a power of two, 4096 or
    // more): 16384 bytes hold 170 ms.
    PacedPipeReader(const QString& fifo, int pipeBytes);
    ~PacedPipeReader();  // stops reading
    PacedPipeReader(const PacedPipeReader&) = delete;
    PacedPipeReader& operator=(const PacedPipeReader&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    bool start();

    // What has been heard so far: sample i was heard at firstAt + i / 48 kHz.
    struct Heard {
        std::chrono::steady_clock::time_point firstAt;
        std::vector<std::int16_t> samples;

        std::chrono::steady_clock::time_point at(std::int64_t sample) const
        {
            return firstAt + std::chrono::microseconds(sample * 1000 / kFramesPerMillisecond);
        }
    };
    Heard heard() const;

private:
    void run();

    int fd_ = -1;
    std::chrono::steady_clock::time_point firstAt_{};
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::int16_t> samples_;  // under mutex_
};

}  // namespace tavro::audio::testing
