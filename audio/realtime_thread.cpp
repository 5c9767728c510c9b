#include "audio/realtime_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace tavro::audio {

namespace {

// Low in the real-time range: ahead of every ordinary thread (the user interface,
// a CPU hog), behind the sound server's own real-time threads (PulseAudio asks for 5).
constexpr int kWantedPriority = 3;

bool trySchedRoundRobin(int priority)
{
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
}

}  // namespace

void raiseCurrentThreadToRealtime()
{
    if (trySchedRoundRobin(kWantedPriority))
        return;
    // A user may be granted a lower ceiling than we ask for.
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur >= 1
        && limit.rlim_cur < static_cast<rlim_t>(kWantedPriority))
        trySchedRoundRobin(static_cast<int>(limit.rlim_cur));
}

}  // namespace tavro::audio
