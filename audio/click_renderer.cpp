#include "audio/click_renderer.h"

#include "audio/click_sound.h"

#include <algorithm>
#include <utility>

namespace tavro::audio {
namespace {

// The writer publishes clicks in order, but the renderer must not depend on it: a
// click dealt with out of order would hide an earlier one behind the latest started.
// Four entries: an insertion sort is all it takes.
void sortByFrame(ClickSchedule::List& list, int count)
{
    for (int i = 1; i < count; ++i)
        for (int j = i; j > 0 && list[j].frame < list[j - 1].frame; --j)
            std::swap(list[j], list[j - 1]);
}

}  // namespace

void ClickRenderer::render(std::int16_t* out, std::int64_t first, int frames)
{
    if (frames <= 0)
        return;
    const std::int64_t end = first + frames;
    // Frames written again are still to come: a click published for one of them is
    // not late.
    progress_.writtenTo = std::min(progress_.writtenTo, first);

    // Writes frames [from, to) of the block: the playing click, then silence.
    auto write = [&](std::int64_t from, std::int64_t to) {
        const int beeps = static_cast<int>(progress_.playingFrames / kBeepFrames);
        for (std::int64_t f = from; f < to; ++f)
            out[f - first] = clickSample(f - progress_.playingFrom, beeps);
        if (progress_.playingFrames > 0 && to >= progress_.playingFrom + progress_.playingFrames)
            progress_.playingFrames = 0;
    };

    ClickSchedule::List list;
    const int count = schedule_.snapshot(list);
    sortByFrame(list, count);

    std::int64_t written = first;
    for (int i = 0; i < count; ++i) {
        const Click& click = list[i];
        if (click.beeps <= 0 || click.frame <= progress_.lastStartedFrame)
            continue;
        if (click.frame >= end)
            break;  // a later block starts it
        std::int64_t startAt = click.frame;
        if (click.frame < progress_.writtenTo) {
            // Published after its frame had been written: catch up if the ear will
            // not notice, otherwise give it up for good.
            if (first - click.frame > kLateToleranceFrames) {
                dropped_.fetch_add(1, std::memory_order_relaxed);
                progress_.lastStartedFrame = click.frame;
                continue;
            }
            late_.fetch_add(1, std::memory_order_relaxed);
            startAt = first;
        }
        // A click due in skipped frames starts there all the same: what is left of it
        // sounds at its own frames.
        write(written, std::max(startAt, first));
        written = std::max(startAt, first);
        // A click still playing is cut off: the new one starts on its frame.
        progress_.playingFrom = startAt;
        progress_.playingFrames = std::int64_t{click.beeps} * kBeepFrames;
        progress_.lastStartedFrame = click.frame;
        started_.fetch_add(1, std::memory_order_relaxed);
    }
    write(written, end);
    progress_.writtenTo = end;
}

}  // namespace tavro::audio
