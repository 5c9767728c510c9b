#include "paced_pipe_reader.h"

#include "audio/click_schedule.h"
#include "audio/realtime_thread.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

namespace tavro::audio::testing {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPeriod = std::chrono::milliseconds(5);

}  // namespace

PacedPipeReader::PacedPipeReader(const QString& fifo, int pipeBytes)
{
    fd_ = ::open(fifo.toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0 && ::fcntl(fd_, F_SETPIPE_SZ, pipeBytes) != pipeBytes) {
        ::close(fd_);
        fd_ = -1;
    }
}

PacedPipeReader::~PacedPipeReader()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (fd_ >= 0)
        ::close(fd_);
}

bool PacedPipeReader::start()
{
    if (!isOpen() || thread_.joinable())
        return false;
    firstAt_ = Clock::now();
    thread_ = std::thread([this] { run(); });
    return true;
}

PacedPipeReader::Heard PacedPipeReader::heard() const
{
    std::lock_guard lock(mutex_);
    return {firstAt_, samples_};
}

// Every 5 ms, takes what the device has played since the last time: all of it even when
// the thread ran late, so sample i always stands for the moment firstAt_ + i / 48 kHz.
void PacedPipeReader::run()
{
    raiseCurrentThreadToRealtime();
    std::vector<std::int16_t> block;
    std::int64_t taken = 0;
    for (Clock::time_point wake = firstAt_ + kPeriod; !stop_; wake += kPeriod) {
        std::this_thread::sleep_until(wake);
        const auto played =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - firstAt_);
        const std::int64_t due = played.count() * kSampleRate / 1'000'000 - taken;
        block.assign(static_cast<std::size_t>(std::max<std::int64_t>(due, 0)), 0);
        std::size_t got = 0;  // bytes
        const std::size_t want = block.size() * sizeof(std::int16_t);
        while (got < want) {
            const ssize_t n = ::read(fd_, reinterpret_cast<char*>(block.data()) + got, want - got);
            if (n <= 0)
                break;  // the sink wrote nothing more: the rest is silence
            got += static_cast<std::size_t>(n);
        }
        // A sink writes whole frames, so a pipe never holds half a sample.
        taken += static_cast<std::int64_t>(block.size());
        std::lock_guard lock(mutex_);
        samples_.insert(samples_.end(), block.begin(), block.end());
    }
}

}  // namespace tavro::audio::testing
