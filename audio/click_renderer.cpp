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

void ClickRenderer::remember(const Started& click)
{
    auto& started = progress_.started;
    int& count = progress_.startedCount;
    if (count == kRememberedClicks) {
        std::move(started.begin() + 1, started.end(), started.begin());
        --count;
    }
    int at = count;
    for (; at > 0 && started[at - 1].startAt > click.startAt; --at)
        started[at] = started[at - 1];
    started[at] = click;
    ++count;
}

void ClickRenderer::render(std::int16_t* out, std::int64_t first, int frames)
{
    if (frames <= 0)
        return;
    const std::int64_t end = first + frames;
    // Frames written again are still to come: a click published for one of them is
    // not late.
    progress_.writtenTo = std::min(progress_.writtenTo, first);

    ClickSchedule::List list;
    const int count = schedule_.snapshot(list);
    sortByFrame(list, count);

    // Each click is decided once: started, or given up as too late.
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
        remember({startAt, click.beeps});
        progress_.lastStartedFrame = click.frame;
        started_.fetch_add(1, std::memory_order_relaxed);
    }

    // Each frame sounds the latest click started at or before it, until that one ends;
    // the clicks' stretches are therefore disjoint and in order.
    std::int64_t written = first;
    for (int i = 0; i < progress_.startedCount; ++i) {
        const Started& click = progress_.started[i];
        const std::int64_t cutAt =
            i + 1 < progress_.startedCount ? progress_.started[i + 1].startAt : end;
        const std::int64_t from = std::max(click.startAt, first);
        const std::int64_t to =
            std::min({click.startAt + std::int64_t{click.beeps} * kBeepFrames, cutAt, end});
        if (from >= to)
            continue;
        std::fill(out + (written - first), out + (from - first), std::int16_t{0});
        for (std::int64_t f = from; f < to; ++f)
            out[f - first] = clickSample(f - click.startAt, click.beeps);
        written = to;
    }
    std::fill(out + (written - first), out + frames, std::int16_t{0});
    progress_.writtenTo = end;
}

}  // namespace tavro::audio
