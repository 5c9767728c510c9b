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
    // The timer counts on the system's clock, while the timeline follows what is heard,
    // which may fall behind meanwhile (an output that holds the stream back for a moment):
    // the moment is checked again when the timer fires.
    QTimer::singleShot(wait, Qt::PreciseTimer, context,
                       [&timeline, moment, context, action = std::move(action)]() mutable {
                           runAt(timeline, moment, context, std::move(action));
                       });
}

}  // namespace tavro::playback
