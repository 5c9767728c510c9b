#include "playback/run_at.h"

#include <QTimer>

namespace tavro::playback {

void runAt(const AudioTimeline& timeline, AudioTimeline::time_point moment, QObject* context,
           std::function<void()> action)
{
    // Rounded up, so the action never runs before its moment.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(moment - timeline.now());
    if (wait.count() <= 0) {
        action();
        return;
    }
    QTimer::singleShot(wait, Qt::PreciseTimer, context, std::move(action));
}

}  // namespace tavro::playback
