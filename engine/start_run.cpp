#include "metronome.h"
#include "number_text.h"
#include "rounding.h"

#include <string>

namespace tavro {

namespace {

struct BoxRange {
    Box box;
    double lowest;
    double highest;
    const char* message;
};

constexpr BoxRange kLength{Box::Length, 1, 999,
                           "The length of the piece must be a number of bars between 1 and 999"};
constexpr BoxRange kIntro{Box::Intro, 0, 8,
                          "The length of the intoduction must be a number of bars between 0 and 8"};
constexpr BoxRange kRepeat{Box::Repeat, 1, 999,
                           "The number of repeats of the piece must be a number between 1 and 999"};
constexpr BoxRange kStartSpeed{Box::StartSpeed, 30, 250,
                               "The starting speed must be between 30 and 250 beats per minute"};
constexpr BoxRange kMaxSpeed{Box::MaxSpeed, 60, 350,
                             "The maximum speed must be between 60 and 350 beats per minute"};
constexpr BoxRange kLinear{Box::Linear, 1, 40,
                           "The linear speed increase must be between 1 and 40 beats per minute"};
constexpr BoxRange kSkip{Box::Skip, 10, 60,
                         "The skip speed increase must be between 10 and 60 beats per minute"};

constexpr const char* kSpeedsPair = "The maximum speed must be larger than the starting speed";
constexpr const char* kIncreasesPair =
    "The skip speed increase must be larger than the linear speen increase";

// Collects the checks of one press: every failing check replaces the message, so the
// one shown is that of the last failure.
struct Verdict {
    bool failed = false;
    const char* message = "";

    void fail(const char* why)
    {
        failed = true;
        message = why;
    }
};

// Cuts the text of a box at its first full stop; the box is rewritten only when it
// had one. Cleaning cuts and never rounds: 12.7 becomes 12, ".5" becomes empty.
void clean(WindowOps& window, Box box)
{
    const std::string text = window.boxText(box);
    const auto stop = text.find('.');
    if (stop != std::string::npos)
        window.setBoxText(box, text.substr(0, stop));
}

// A value too large for a double reads as an infinity, which lies outside every
// range, so such a box is refused with its own message.
void checkRange(WindowOps& window, const BoxRange& range, Verdict& verdict)
{
    const std::string text = window.boxText(range.box);
    const double value = leadingNumberValue(text);
    const bool bad = !isNumber(text) || value < range.lowest || value > range.highest;
    if (bad)
        verdict.fail(range.message);
}

void cleanAndCheck(WindowOps& window, const BoxRange& range, Verdict& verdict)
{
    clean(window, range.box);
    checkRange(window, range, verdict);
}

// Pair checks compare the texts as they stand, with no number test: a fraction typed
// into a box still counts here, before the box is cleaned.
void checkLarger(WindowOps& window, Box smaller, Box larger, const char* message, Verdict& verdict)
{
    const double low = leadingNumberValue(window.boxText(smaller));
    const double high = leadingNumberValue(window.boxText(larger));
    if (!(high > low))
        verdict.fail(message);
}

}  // namespace

void Metronome::Command2_Click()
{
    // The time signature and increase type take effect even when the checks refuse
    // the press; a run in progress reads them on its next tick.
    if (window_.optionOn(Option::FourFour))
        state_.beatsperbar = 4;
    if (window_.optionOn(Option::ThreeFour))
        state_.beatsperbar = 3;
    if (window_.optionOn(Option::TwoFour))
        state_.beatsperbar = 2;
    if (window_.optionOn(Option::IncLinear))
        state_.linearmode = true;
    if (window_.optionOn(Option::IncSkip))
        state_.linearmode = false;

    Verdict verdict;
    cleanAndCheck(window_, kLength, verdict);
    cleanAndCheck(window_, kIntro, verdict);
    cleanAndCheck(window_, kRepeat, verdict);
    checkLarger(window_, Box::StartSpeed, Box::MaxSpeed, kSpeedsPair, verdict);
    cleanAndCheck(window_, kStartSpeed, verdict);
    cleanAndCheck(window_, kMaxSpeed, verdict);
    checkLarger(window_, Box::Linear, Box::Skip, kIncreasesPair, verdict);
    cleanAndCheck(window_, kLinear, verdict);
    cleanAndCheck(window_, kSkip, verdict);

    if (verdict.failed) {
        window_.messageBox(verdict.message, kProblemTitle);
        return;
    }

    auto value = [this](Box box) { return leadingNumberValue(window_.boxText(box)); };
    state_.piecelength = value(Box::Length);
    state_.introbars = value(Box::Intro);
    state_.repeattotal = value(Box::Repeat);
    state_.startbpm = value(Box::StartSpeed);
    state_.linearinc = value(Box::Linear);
    state_.skipinc = value(Box::Skip);
    state_.maxbpm = value(Box::MaxSpeed);

    const double rate = state_.startbpm / 60;
    window_.setTimerInterval(intervalForRate(rate));
    state_.baserate = rate;
    state_.beat = 0;
    state_.bar = 0 - state_.introbars;
    state_.stepbpm = state_.linearmode ? state_.linearinc : state_.skipinc;
    state_.stepphase = 1;
    state_.running = true;
    state_.stopped = false;
    state_.skipcount = 0;
}

}  // namespace tavro
