// Simulated days of practice: the engine plays every kind of plan for many beats, with
// the mid-run presses a user makes (refused STARTs that change the time signature or
// the increase type, a pause, a START that lowers the repeats), and every value stays
// in its range after every beat, the plan settles where it should, and the heap does
// not grow. TAVRO_LONGRUN=full plays 10^8 beats instead of 10^6.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/metronome.h"
#include "engine/rounding.h"
#include "headless_window.h"
#include "tests/support/label_text.h"

#if defined(__SANITIZE_ADDRESS__)
#define TAVRO_HEAP_IS_INSTRUMENTED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVRO_HEAP_IS_INSTRUMENTED 1
#endif
#endif

namespace tavro {
namespace {

// How a plan sounds once it has had time to settle.
enum class Settles { Anywhere, OnMaximum, AlternatingBelowMaximum };

struct Plan {
    std::string name;
    Option signature;
    bool skip;
    std::array<std::string, 7> texts;  // length intro repeat startspeed maxspeed linear skip
    Settles settles;
};

// The maxima for which a capped landing is never exactly maxbpm / 60, so every landing
// is followed by the ordinary return and the speed alternates for good.
constexpr int kInexactMaxima[] = {62,  66,  70,  74,  77,  81,  85,  89,  92,  96,
                                  100, 104, 107, 111, 115, 119, 124, 132, 139, 147,
                                  154, 162, 169, 177, 184, 192, 199, 207, 214, 222,
                                  229, 237, 248, 263, 278, 293, 308, 323, 338};

std::vector<Plan> dayOfPlans() {
    using S = Settles;
    std::vector<Plan> plans{
        {"linear defaults", Option::FourFour, false, {"4", "2", "2", "60", "300", "5", "30"}, S::OnMaximum},
        {"linear 30 to 350 by 1", Option::ThreeFour, false, {"1", "0", "1", "30", "350", "1", "10"}, S::OnMaximum},
        {"linear first step lands", Option::TwoFour, false, {"1", "0", "3", "165", "170", "10", "30"}, S::OnMaximum},
        {"linear half intro bar", Option::ThreeFour, false, {"2", "5E-1", "1", "100", "170", "7", "30"}, S::OnMaximum},
        {"linear longest piece", Option::FourFour, false, {"999", "8", "999", "30", "350", "40", "60"}, S::Anywhere},
        {"skip worked example", Option::FourFour, true, {"1", "0", "1", "100", "170", "10", "40"}, S::OnMaximum},
        {"skip start 150", Option::FourFour, true, {"1", "1", "2", "150", "170", "10", "40"}, S::OnMaximum},
        {"skip down to 1", Option::TwoFour, true, {"1", "0", "1", "30", "60", "1", "60"}, S::OnMaximum},
        {"skip 250 to 350", Option::ThreeFour, true, {"1", "1", "1", "250", "350", "1", "60"}, S::OnMaximum},
        {"skip defaults", Option::FourFour, true, {"4", "2", "2", "60", "300", "5", "30"}, S::OnMaximum},
    };
    for (std::size_t i = 0; i < std::size(kInexactMaxima); ++i) {
        const int maximum = kInexactMaxima[i];
        const int skip = 10 + static_cast<int>(i * 13 % 51);
        const int linear = 1 + static_cast<int>(i * 7) % std::min(40, skip - 1);
        const int start = std::clamp(maximum - 2 * skip, 30, 250);
        plans.push_back({"skip maximum " + std::to_string(maximum), Option::TwoFour, true,
                         {"1", "0", "1", std::to_string(start), std::to_string(maximum),
                          std::to_string(linear), std::to_string(skip)},
                         S::AlternatingBelowMaximum});
    }
    return plans;
}

bool sameRunValues(const MetronomeState& a, const MetronomeState& b) {
    return a.beatsperbar == b.beatsperbar && a.piecelength == b.piecelength &&
           a.running == b.running && a.repeatcount == b.repeatcount &&
           a.skipcount == b.skipcount && a.stopped == b.stopped && a.maxbpm == b.maxbpm &&
           a.beepcount == b.beepcount && a.stepphase == b.stepphase &&
           a.baserate == b.baserate && a.stepbpm == b.stepbpm && a.beat == b.beat &&
           a.bar == b.bar && a.introbars == b.introbars && a.repeattotal == b.repeattotal &&
           a.startbpm == b.startbpm && a.linearinc == b.linearinc && a.skipinc == b.skipinc &&
           a.linearmode == b.linearmode;
}

using test::isWellFormedLabel;

// A metronome in a window without a screen, and the checks made after every beat.
class Practice {
public:
    Practice() { metronome_.Form_Load(); }

    const MetronomeState& state() const { return metronome_.state(); }
    const std::string& failure() const { return failure_; }
    std::uint64_t beats() const { return beats_; }

    void choose(const Plan& plan) {
        plan_ = &plan;
        for (std::size_t b = 0; b < 7; ++b) window_.typeBoxText(static_cast<Box>(b), plan.texts[b]);
        window_.turnOptionOn(plan.signature);
        window_.turnOptionOn(plan.skip ? Option::IncSkip : Option::IncLinear);
    }
    void type(Box box, const std::string& text) { window_.typeBoxText(box, text); }
    void turnOn(Option option) { window_.turnOptionOn(option); }

    // START on settings that pass every check: the run begins afresh.
    void startAccepted() {
        const double passes = metronome_.state().repeatcount;
        metronome_.Command2_Click();
        const MetronomeState& s = metronome_.state();
        if (!s.running || s.stopped || s.beat != 0 || s.bar != 0 - s.introbars ||
            s.repeatcount != passes || window_.timerInterval() != intervalForRate(s.startbpm / 60))
            fail("a valid START did not begin the run afresh");
        firstBeat_ = true;
        steps_ = 0;
    }

    // START on settings that fail a check: only the time signature and the increase
    // type change, and they take effect in the run that goes on.
    void startRefused() {
        const MetronomeState before = metronome_.state();
        const std::int32_t interval = window_.timerInterval();
        metronome_.Command2_Click();
        MetronomeState after = metronome_.state();
        after.beatsperbar = before.beatsperbar;
        after.linearmode = before.linearmode;
        if (!sameRunValues(before, after) || window_.timerInterval() != interval)
            fail("a refused START changed a run value");
    }

    void stop() { metronome_.Command3_Click(); }
    void pause() { metronome_.Command4_Click(); }
    void volume(std::size_t which) {
        switch (which % 3) {
            case 0: metronome_.mnuhigh_Click(); break;
            case 1: metronome_.mnumedium_Click(); break;
            default: metronome_.mnulow_Click(); break;
        }
    }

    void expire(std::uint64_t count) {
        for (std::uint64_t i = 0; i < count && failure_.empty(); ++i) expireOnce();
    }

    // The intervals set by the last speed steps, oldest first.
    std::vector<std::int32_t> lastStepIntervals() const {
        const std::uint64_t kept = std::min<std::uint64_t>(steps_, kKept);
        std::vector<std::int32_t> out;
        for (std::uint64_t k = steps_ - kept; k < steps_; ++k) out.push_back(stepIntervals_[k % kKept]);
        return out;
    }

private:
    static constexpr std::size_t kKept = 8;

    void expireOnce() {
        const MetronomeState before = metronome_.state();
        const std::uint64_t beepsBefore = window_.beepsSounded();
        metronome_.Timer1_Timer();
        const MetronomeState& s = metronome_.state();
        if (!before.running) {
            if (window_.beepsSounded() != beepsBefore || !sameRunValues(before, s))
                fail("an idle expiry counted or sounded");
            return;
        }
        ++beats_;
        if (s.stepphase != before.stepphase) {
            // A step on the first beat of a run (the pass count carried over a START
            // that lowered the repeats) comes before any cap, so it may pass the
            // maximum by one increase until the next step.
            overshootAllowed_ = firstBeat_;
            stepIntervals_[steps_++ % kKept] = window_.timerInterval();
        }
        firstBeat_ = false;
        const std::int32_t interval = window_.timerInterval();
        const double speed = s.baserate * 60;
        const double fastest = overshootAllowed_ ? s.startbpm + s.skipinc : s.maxbpm;
        if (interval < 171 || interval > 60000) fail("interval outside 171..60000 ms");
        if (interval < intervalForRate(fastest / 60)) fail("the beat sounds faster than maxbpm");
        if (s.beat < 1 || s.beat > s.beatsperbar) fail("beat outside 1..beatsperbar");
        if (s.bar != 0 && (s.bar < -s.introbars || s.bar > s.piecelength)) fail("bar outside its pass");
        if (s.repeatcount < 1 || s.repeatcount > s.repeattotal) fail("repeatcount outside 1..repeattotal");
        if (speed < 1 - 1e-9 || speed > fastest + 1e-9) fail("speed outside 1..maxbpm");
        if (window_.beepsSounded() - beepsBefore != static_cast<std::uint64_t>(s.beepcount))
            fail("a beat sounded another number of beeps than the volume");
        if (beats_ % 61 == 0 && !labelsWellFormed()) fail("a label is not a well-formed number");
    }

    bool labelsWellFormed() const {
        for (StatusLabel label : {StatusLabel::Speed, StatusLabel::Bar, StatusLabel::BarTotal,
                                  StatusLabel::Beat, StatusLabel::Repeat, StatusLabel::RepeatTotal})
            if (!isWellFormedLabel(window_.caption(label))) return false;
        return true;
    }

    void fail(const char* what) {
        if (!failure_.empty()) return;
        failure_ = std::string(what) + " in plan \"" + (plan_ ? plan_->name : "") + "\" at beat " +
                   std::to_string(beats_);
    }

    std::ostream discard_{nullptr};
    trace::HeadlessWindow window_{discard_};
    Metronome metronome_{window_};
    const Plan* plan_ = nullptr;
    std::string failure_;
    std::uint64_t beats_ = 0;
    bool firstBeat_ = false;
    bool overshootAllowed_ = false;
    std::uint64_t steps_ = 0;
    std::array<std::int32_t, kKept> stepIntervals_{};
};

Option nextSignature(Option signature) {
    return signature == Option::FourFour ? Option::ThreeFour
           : signature == Option::ThreeFour ? Option::TwoFour
                                            : Option::FourFour;
}

double beatsOf(Option signature) {
    return signature == Option::FourFour ? 4 : signature == Option::ThreeFour ? 3 : 2;
}

void expectSettled(const Plan& plan, const std::vector<std::int32_t>& steps) {
    if (plan.settles == Settles::Anywhere) return;
    ASSERT_GE(steps.size(), 4u) << plan.name << " took too few speed steps to settle";
    const double maximum = std::stod(plan.texts[4]);
    const std::int32_t onMaximum = intervalForRate(maximum / 60);
    if (plan.settles == Settles::OnMaximum) {
        for (std::int32_t interval : steps) EXPECT_EQ(interval, onMaximum) << plan.name;
        return;
    }
    // Every landing on the maximum is followed by the ordinary return.
    const double below = maximum - std::stod(plan.texts[6]) + std::stod(plan.texts[5]);
    const std::int32_t returned = intervalForRate(below / 60);
    for (std::size_t k = 0; k < steps.size(); ++k) {
        EXPECT_TRUE(steps[k] == onMaximum || steps[k] == returned) << plan.name << ", step " << k;
        if (k > 0) {
            EXPECT_NE(steps[k], steps[k - 1]) << plan.name << ", step " << k;
        }
    }
}

// One plan within a day: a START, a refused START mid-run that switches the time
// signature and the increase type, a pause, a START back on the plan with a single
// repeat (a pass count carried over then exceeds the repeats until the next beat), and
// a long stretch after which the plan must have settled.
void playPlan(Practice& practice, const Plan& plan, std::size_t index, std::uint64_t beats,
              bool judgeSettling) {
    practice.choose(plan);
    practice.volume(index);
    practice.startAccepted();
    practice.expire(beats / 4);

    const Option other = nextSignature(plan.signature);
    const auto wrongBox = static_cast<Box>(index % 7);
    practice.turnOn(other);
    practice.turnOn(plan.skip ? Option::IncLinear : Option::IncSkip);
    practice.type(wrongBox, "-1");
    practice.startRefused();
    EXPECT_EQ(practice.state().beatsperbar, beatsOf(other)) << plan.name;
    EXPECT_EQ(practice.state().linearmode, plan.skip) << plan.name;
    practice.expire(beats / 4);

    practice.pause();
    practice.expire(1000);
    practice.pause();

    practice.choose(plan);
    practice.type(Box::Repeat, "1");
    practice.startAccepted();
    practice.expire(beats / 2);
    if (judgeSettling && practice.failure().empty())
        expectSettled(plan, practice.lastStepIntervals());
    if (index % 2 == 1) practice.stop();
}

TEST(LongRun, DaysOfPracticeKeepEveryValueInRangeAndTheHeapFlat) {
    const char* mode = std::getenv("TAVRO_LONGRUN");
    const bool full = mode != nullptr && std::string(mode) == "full";
    const std::uint64_t wanted = full ? 100'000'000 : 1'000'000;
    const std::vector<Plan> plans = dayOfPlans();
    Practice practice;

    // A short day first, so that every string the window and the engine keep has
    // reached its size before the heap is measured.
    for (std::size_t i = 0; i < plans.size(); ++i) playPlan(practice, plans[i], i, 2000, false);
    ASSERT_EQ(practice.failure(), "");

    const auto heapBefore = mallinfo2().uordblks;
    const std::uint64_t beatsBefore = practice.beats();
    const auto began = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < plans.size() && practice.failure().empty(); ++i)
        playPlan(practice, plans[i], i, wanted / plans.size(), true);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    const auto heapAfter = mallinfo2().uordblks;
    ASSERT_EQ(practice.failure(), "");

    const std::uint64_t played = practice.beats() - beatsBefore;
    EXPECT_GE(played, wanted * 99 / 100);
    std::cout << "long run: " << played << " beats in " << took.count() << " s; heap in use "
              << heapBefore << " -> " << heapAfter << " bytes\n";
#ifndef TAVRO_HEAP_IS_INSTRUMENTED
    EXPECT_LE(heapAfter, heapBefore) << "the heap grew over " << played << " beats";
#endif
}

}  // namespace
}  // namespace tavro
