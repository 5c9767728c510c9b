// A whole START press: a run state reached by real handler calls, seven arbitrary box
// texts and any option buttons on, then a burst of timer expiries, each checked.
//
// Input: 8 header bytes (missing ones read as 0), then up to seven texts separated by
// NUL bytes; boxes without a text keep their default.
//   [0] bits 0-1: state before the press: fresh, stopped after a run, running, paused
//   [1] bit 0: the earlier run is a skip plan; bits 1-2: its time signature
//   [2..3] expiries the earlier run plays before the press (modulo 512)
//   [4] bits 0-4: the option buttons that are on at the press, in any combination
//   [5..6] expiries after the press (modulo 1024)
//   [7] bits 0-1: Volume item chosen (3: none); bit 2: press START again halfway
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/headless_window.h"
#include "engine/metronome.h"
#include "fuzz_checks.h"

namespace {

using namespace tavro;
using tavro::fuzz::require;

struct Input {
    std::uint8_t header[8] = {};
    std::string texts[7];
    bool hasText[7] = {};
};

Input splitInput(const std::uint8_t* data, std::size_t size)
{
    Input in;
    std::size_t i = 0;
    for (; i < 8 && i < size; ++i)
        in.header[i] = data[i];
    const std::string_view rest(reinterpret_cast<const char*>(data) + i, size - i);
    std::size_t start = 0;
    for (int box = 0; box < 7 && start <= rest.size() && i < size; ++box) {
        const std::size_t end = std::min(rest.find('\0', start), rest.size());
        in.texts[box] = std::string(rest.substr(start, end - start));
        in.hasText[box] = true;
        start = end + 1;
    }
    return in;
}

bool within(double v, double low, double high) { return v >= low && v <= high; }

// Presses START and checks what it did; true when the press was accepted.
bool press(Metronome& m, HeadlessWindow& w)
{
    const MetronomeState before = m.state();
    const std::int32_t intervalBefore = w.timerInterval();
    const int messagesBefore = w.messagesShown();
    std::string expectedBoxes[7];
    for (std::size_t b = 0; b < 7; ++b)
        expectedBoxes[b] = tavro::fuzz::cutAtFullStop(w.boxText(static_cast<Box>(b)));

    m.Command2_Click();

    for (std::size_t b = 0; b < 7; ++b)
        require(w.boxText(static_cast<Box>(b)) == expectedBoxes[b],
                "every box is cut at its first full stop");
    const MetronomeState& s = m.state();
    require(within(s.beatsperbar, 2, 4) && std::trunc(s.beatsperbar) == s.beatsperbar,
            "beatsperbar is 2, 3 or 4");
    require(w.messagesShown() - messagesBefore <= 1, "one message box at most per press");
    if (w.messagesShown() != messagesBefore) {
        require(w.lastMessageTitle() == kProblemTitle, "the refusal has the problem title");
        require(runValues(before) == runValues(s) && w.timerInterval() == intervalBefore,
                "a refused START changes no run value");
        return false;
    }
    require(within(s.piecelength, 1, 999) && within(s.introbars, 0, 8)
                && within(s.repeattotal, 1, 999) && within(s.startbpm, 30, 250)
                && within(s.maxbpm, 60, 350) && within(s.linearinc, 1, 40)
                && within(s.skipinc, 10, 60),
            "an accepted START stores settings inside their ranges");
    require(s.maxbpm >= s.startbpm && s.skipinc >= s.linearinc, "the pairs keep their order");
    require(within(w.timerInterval(), 240, 2000), "an accepted START sets 240..2000 ms");
    require(s.running && !s.stopped && s.beat == 0 && s.bar == 0 - s.introbars
                && s.repeatcount == before.repeatcount && s.skipcount == 0 && s.stepphase == 1,
            "an accepted START begins the run afresh, keeping the pass count");
    return true;
}

// After each expiry of a running metronome every value is inside its range and every
// label is a well-formed number. The first speed step of a run may overshoot the
// maximum when it falls on the run's first beat (a pass count carried over from before
// the press), because the cap only acts from that tick on; it never passes 350.
struct TickChecker {
    bool firstBeat = true;
    bool overshootAllowed = false;

    void expire(Metronome& m, HeadlessWindow& w)
    {
        const bool wasRunning = m.state().running;
        const double phaseBefore = m.state().stepphase;
        const std::uint64_t beepsBefore = w.beepsSounded();
        m.Timer1_Timer();
        if (!wasRunning)
            return;
        const MetronomeState& s = m.state();
        const bool stepped = s.stepphase != phaseBefore;
        if (stepped)
            overshootAllowed = firstBeat;
        firstBeat = false;
        require(w.beepsSounded() - beepsBefore == static_cast<std::uint64_t>(s.beepcount),
                "one click");
        require(within(w.timerInterval(), 171, 60000), "interval within 171..60000 ms");
        require(within(s.beat, 1, s.beatsperbar), "beat within 1..beatsperbar");
        require(s.bar == 0 || within(s.bar, -s.introbars, s.piecelength), "bar within its pass");
        require(within(s.repeatcount, 1, s.repeattotal), "repeatcount within 1..repeattotal");
        const double speed = s.baserate * 60;
        const double highest = overshootAllowed ? 350 : s.maxbpm;
        require(within(speed, 1 - 1e-9, highest + 1e-9), "base speed within 1..maximum");
        for (const std::string& label : w.captions())
            require(tavro::fuzz::isWellFormedLabel(label), "labels hold well-formed numbers",
                    label);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Input in = splitInput(data, size);
    const std::uint8_t* h = in.header;
    HeadlessWindow w;
    Metronome m(w);
    m.Form_Load();
    TickChecker ticks;

    const int wanted = h[0] & 3;
    if (wanted != 0) {
        w.turnOptionOn((h[1] & 1) != 0 ? Option::IncSkip : Option::IncLinear);
        w.turnOptionOn(static_cast<Option>(((h[1] >> 1) & 3) % 3));
        m.Command2_Click();
        const int earlier = (h[2] | h[3] << 8) % 512;
        for (int i = 0; i < earlier; ++i)
            ticks.expire(m, w);
        if (wanted == 1)
            m.Command3_Click();
        if (wanted == 3)
            m.Command4_Click();
        require(m.runState()
                    == (wanted == 1   ? RunState::Stopped
                        : wanted == 2 ? RunState::Running
                                      : RunState::Paused),
                "the handlers reach the wanted run state");
    }
    switch (h[7] & 3) {
    case 0: m.mnuhigh_Click(); break;
    case 1: m.mnumedium_Click(); break;
    case 2: m.mnulow_Click(); break;
    default: break;
    }

    for (std::size_t b = 0; b < 7; ++b)
        if (in.hasText[b])
            w.typeBoxText(static_cast<Box>(b), in.texts[b]);
    for (std::size_t o = 0; o < 5; ++o)
        w.setOptionOn(static_cast<Option>(o), (h[4] >> o) & 1);
    if (press(m, w))
        ticks = TickChecker{};

    const int burst = (h[5] | h[6] << 8) % 1024;
    for (int i = 0; i < burst; ++i) {
        if (i == burst / 2 && (h[7] & 4) && press(m, w))
            ticks = TickChecker{};
        ticks.expire(m, w);
    }
    return 0;
}
