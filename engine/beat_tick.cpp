#include "metronome.h"
#include "number_text.h"
#include "rounding.h"

namespace tavro {

void Metronome::Timer1_Timer()
{
    MetronomeState& s = state_;
    if (!s.running)
        return;

    s.beat = s.beat + 1;
    // "Greater than", not "equal to": a refused START may shrink the bar below the
    // current beat, and the next beat must then still open a new bar.
    if (s.beat > s.beatsperbar) {
        s.bar = s.bar + 1;
        s.beat = 1;
    }
    // Bar numbers skip 0: the introduction counts -introbars..-1, the piece 1..length.
    if (s.bar == 0)
        s.bar = 1;
    if (s.bar > s.piecelength) {
        s.repeatcount = s.repeatcount + 1;
        s.bar = 0 - s.introbars;
    }
    if (s.repeatcount > s.repeattotal)
        takeSpeedStep();
    applySkipProgram();
    applyCap();
    showStatus();

    for (int i = 1; i <= s.beepcount; ++i)
        window_.beep();
}

void Metronome::takeSpeedStep()
{
    MetronomeState& s = state_;
    double rate = s.baserate + s.stepbpm / 60;
    // A refused START can switch the increase type mid-run, so a return step may be
    // added again and again; the speed then rests at one beat per minute instead of
    // reaching zero or below.
    if (!(rate >= kSlowestRate))
        rate = kSlowestRate;
    window_.setTimerInterval(intervalForRate(rate));
    s.repeatcount = 1;
    s.baserate = rate;
    s.stepphase = s.stepphase + 1;
}

void Metronome::applySkipProgram()
{
    MetronomeState& s = state_;
    if (s.linearmode)
        return;
    // A skip that landed exactly on the maximum: the returns after such landings
    // shrink by the linear increase each time, until the speed stays on the maximum.
    if (s.stepphase == 2 && s.baserate == s.maxbpm / 60) {
        s.skipcount = s.skipcount + 1;
        s.stepbpm = (0 - s.skipinc) + s.linearinc * s.skipcount;
        s.stepphase = 0;
    }
    if (s.stepphase == 2) {
        s.stepbpm = (0 - s.skipinc) + s.linearinc;
        s.stepphase = 0;
    }
    if (s.stepphase == 1)
        s.stepbpm = s.skipinc;
}

void Metronome::applyCap()
{
    MetronomeState& s = state_;
    // Moving the base just below the maximum with a step of 1 makes the next step
    // land on the maximum exactly, whatever the size of the increase.
    if (s.baserate + s.stepbpm / 60 > s.maxbpm / 60) {
        s.baserate = (s.maxbpm - 1) / 60;
        s.stepbpm = 1;
    }
}

void Metronome::showStatus()
{
    const MetronomeState& s = state_;
    window_.setLabelCaption(StatusLabel::Speed, formatNumber(shownSpeed(window_.timerInterval())));
    window_.setLabelCaption(StatusLabel::Bar, formatNumber(s.bar));
    window_.setLabelCaption(StatusLabel::BarTotal, formatNumber(s.piecelength));
    window_.setLabelCaption(StatusLabel::Beat, formatNumber(s.beat));
    window_.setLabelCaption(StatusLabel::Repeat, formatNumber(s.repeatcount));
    window_.setLabelCaption(StatusLabel::RepeatTotal,
                            formatNumber(leadingNumberValue(window_.boxText(Box::Repeat))));
}

}  // namespace tavro
