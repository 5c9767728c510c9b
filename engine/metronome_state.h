#pragma once

#include <tuple>

namespace tavro {

// The values the handlers share. Every number is held as a double: the settings and
// rates are doubles anyway, and the counters stay whole and far below 2^53, where a
// double holds every integer exactly, so whole-number steps on them give the same
// results as integer arithmetic would. A double also never wraps: skipcount keeps
// counting for as long as a skip plan sits on its maximum.
//
// Values marked "set by START" hold nothing meaningful before the first valid START;
// the tick and PAUSE test `running` and `stopped` first, which load sets.
struct MetronomeState {
    double beatsperbar = 4;  // 4, 3 or 2, from the Timing buttons (set even by a refused START)
    double piecelength = 0;  // bars in the piece                 (set by START)
    bool running = false;    // ticks count only while true
    double repeatcount = 1;  // pass at the current speed, from 1
    double skipcount = 0;    // skip steps that landed exactly on the maximum
    bool stopped = true;     // from load and STOP until the next valid START
    double maxbpm = 0;       // maximum speed, beats per minute   (set by START)
    int beepcount = 8;       // beeps per tick: the volume
    double stepphase = 1;    // skip program phase: 1 skip next, 0 return next
    double baserate = 0;     // base tempo, beats per second      (set by START)
    double stepbpm = 0;      // what the next speed step adds, beats per minute
    double beat = 0;         // beat within the bar; 0 until the first tick of a run
    double bar = 0;          // -introbars..-1 introduction, then 1..piecelength
    double introbars = 0;    // introduction bars before every pass (set by START)
    double repeattotal = 0;  // passes at each speed              (set by START)
    double startbpm = 0;     // starting speed                    (set by START)
    double linearinc = 0;    // linear increase                   (set by START)
    double skipinc = 0;      // skip increase                     (set by START)
    bool linearmode = true;  // Linear chosen (set even by a refused START)
};

// The values of a run: all but the two option choices, which START takes even when it
// refuses the settings. A refused START leaves every one of these as it was. Copies, so
// that a value taken before a handler runs can be compared with one taken after.
inline auto runValues(const MetronomeState& s)
{
    return std::make_tuple(s.piecelength, s.running, s.repeatcount, s.skipcount, s.stopped,
                           s.maxbpm, s.beepcount, s.stepphase, s.baserate, s.stepbpm, s.beat, s.bar,
                           s.introbars, s.repeattotal, s.startbpm, s.linearinc, s.skipinc);
}

enum class RunState { Stopped, Running, Paused };

}  // namespace tavro
