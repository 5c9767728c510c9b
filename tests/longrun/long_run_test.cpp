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
#include <iostream>
#include <string>
#include <vector>

#include "engine/default_settings.h"
#include "engine/headless_window.h"
#include "engine/metronome.h"
#include "engine/rounding.h"
#include "tests/support/inexact_maxima.h"
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

// The special cases of a few beats each are the golden traces'; these are the plans
// whose long stretches matter: the extremes of speed and length, and every maximum.
std::vector<Plan> dayOfPlans()
{
    using S = Settles;
    const auto& d = DefaultSettings::boxTexts;
    const std::array<std::string, 7> defaults{d[0], d[1], d[2], d[3], d[4], d[5], d[6]};
    // One plan a line, read as the table it is.
    // clang-format off
    std::vector<Plan> plans{
        {"linear defaults", Option::FourFour, false, defaults, S::OnMaximum},
        {"linear 30 to 350 by 1", Option::ThreeFour, false, {"1", "0", "1", "30", "350", "1", "10"}, S::OnMaximum},
        {"linear half intro bar", Option::ThreeFour, false, {"2", "5E-1", "1", "100", "170", "7", "30"}, S::OnMaximum},
        {"linear longest piece", Option::FourFour, false, {"999", "8", "999", "30", "350", "40", "60"}, S::Anywhere},
        {"skip down to 1", Option::TwoFour, true, {"1", "0", "1", "30", "60", "1", "60"}, S::OnMaximum},
        {"skip 250 to 350", Option::ThreeFour, true, {"1", "1", "1", "250", "350", "1", "60"}, S::OnMaximum},
        {"skip defaults", Option::FourFour, true, defaults, S::OnMaximum},
    };
    // clang-format on
    for (std::size_t i = 0; i < test::kInexactMaxima.size(); ++i) {
        const int maximum = test::kInexactMaxima[i];
        const int skip = 10 + static_cast<int>(i * 13 % 51);
        const int linear = 1 + static_cast<int>(i * 7) % std::min(40, skip - 1);
        const int start = std::clamp(maximum - 2 * skip, 30, 250);
        plans.push_back({"skip maximum " + std::to_string(maximum),
                         Option::TwoFour,
                         true,
                         {"1", "0", "1", std::to_string(start), std::to_string(maximum),
                          std::to_string(linear), std::to_string(skip)},
                         S::AlternatingBelowMaximum});
    }
    return plans;
}

// A metronome in a window without a screen, and the checks made after every beat.
struct Practice {
    Practice() { metronome_.Form_Load(); }
    const MetronomeState& state() const { return metronome_.state(); }

    void choose(const Plan& plan)
    {
        plan_ = &plan;
        window_.typeBoxTexts(plan.texts);
        window_.turnOptionOn(plan.signature);
        window_.turnOptionOn(plan.skip ? Option::IncSkip : Option::IncLinear);
    }

    // START on settings that pass every check: the run begins afresh.
    void startAccepted()
    {
        const double passes = state().repeatcount;
        metronome_.Command2_Click();
        const MetronomeState& s = state();
        if (!s.running || s.stopped || s.beat != 0 || s.bar != 0 - s.introbars
            || s.repeatcount != passes
            || window_.timerInterval() != intervalForRate(s.startbpm / 60))
            fail("a valid START did not begin the run afresh");
        firstBeat_ = true;
        steps_.clear();
    }

    // START on settings that fail a check: only the time signature and the increase
    // type change, and they take effect in the run that goes on.
    void startRefused()
    {
        const MetronomeState before = state();
        const std::int32_t interval = window_.timerInterval();
        metronome_.Command2_Click();
        if (runValues(before) != runValues(state()) || window_.timerInterval() != interval)
            fail("a refused START changed a run value");
    }

    void expire(std::uint64_t count)
    {
        for (std::uint64_t i = 0; i < count && failure.empty(); ++i)
            expireOnce();
    }

    void expireOnce()
    {
        const MetronomeState before = state();
        const std::uint64_t beepsBefore = window_.beepsSounded();
        metronome_.Timer1_Timer();
        const MetronomeState& s = state();
        if (!before.running) {
            if (window_.beepsSounded() != beepsBefore || runValues(before) != runValues(s))
                fail("an idle expiry counted or sounded");
            return;
        }
        ++beats_;
        if (s.stepphase != before.stepphase) {
            // A step on the first beat of a run (the pass count carried over a START
            // that lowered the repeats) comes before any cap, so it may pass the
            // maximum by one increase until the next step.
            overshootAllowed_ = firstBeat_;
            if (steps_.size() == 8)
                steps_.erase(steps_.begin());
            steps_.push_back(window_.timerInterval());
        }
        firstBeat_ = false;
        const std::int32_t interval = window_.timerInterval();
        const double speed = s.baserate * 60;
        const double fastest = overshootAllowed_ ? s.startbpm + s.skipinc : s.maxbpm;
        if (interval < 171 || interval > 60000 || interval < intervalForRate(fastest / 60)
            || speed < 1 - 1e-9 || speed > fastest + 1e-9)
            fail("the interval or the speed left 171..60000 ms, 1..maxbpm");
        if (s.beat < 1 || s.beat > s.beatsperbar
            || (s.bar != 0 && (s.bar < -s.introbars || s.bar > s.piecelength)) || s.repeatcount < 1
            || s.repeatcount > s.repeattotal)
            fail("beat, bar or repeatcount left its range");
        if (window_.beepsSounded() - beepsBefore != static_cast<std::uint64_t>(s.beepcount))
            fail("a beat sounded another number of beeps than the volume");
        if (beats_ % 61 == 0)
            for (StatusLabel label :
                 {StatusLabel::Speed, StatusLabel::Bar, StatusLabel::BarTotal, StatusLabel::Beat,
                  StatusLabel::Repeat, StatusLabel::RepeatTotal})
                if (!test::isWellFormedLabel(window_.caption(label)))
                    fail("a label is not a well-formed number");
    }

    void fail(const char* what)
    {
        if (failure.empty())
            failure = std::string(what) + " in plan \"" + (plan_ ? plan_->name : "") + "\" at beat "
                      + std::to_string(beats_);
    }

    HeadlessWindow window_;
    Metronome metronome_{window_};
    const Plan* plan_ = nullptr;
    std::string failure;
    std::uint64_t beats_ = 0;
    bool firstBeat_ = false;
    bool overshootAllowed_ = false;
    std::vector<std::int32_t> steps_;  // the intervals set by the last 8 speed steps, oldest first
};

void expectSettled(const Plan& plan, const std::vector<std::int32_t>& steps)
{
    if (plan.settles == Settles::Anywhere)
        return;
    ASSERT_GE(steps.size(), 4u) << plan.name << " took too few speed steps to settle";
    const double maximum = std::stod(plan.texts[4]);
    const std::int32_t onMaximum = intervalForRate(maximum / 60);
    // Alternating: every landing on the maximum is followed by the ordinary return.
    const double below = maximum - std::stod(plan.texts[6]) + std::stod(plan.texts[5]);
    const std::int32_t other =
        plan.settles == Settles::OnMaximum ? onMaximum : intervalForRate(below / 60);
    for (std::size_t k = 0; k < steps.size(); ++k) {
        EXPECT_TRUE(steps[k] == onMaximum || steps[k] == other) << plan.name << ", step " << k;
        EXPECT_TRUE(k == 0 || plan.settles == Settles::OnMaximum || steps[k] != steps[k - 1])
            << plan.name << ", step " << k;
    }
}

// One plan within a day: a START, a refused START mid-run that switches the time
// signature and the increase type, a pause, a START back on the plan with a single
// repeat (a pass count carried over then exceeds the repeats until the next beat), and
// a long stretch after which the plan must have settled.
void playPlan(Practice& practice, const Plan& plan, std::size_t index, std::uint64_t beats,
              bool judgeSettling)
{
    Metronome& m = practice.metronome_;
    practice.choose(plan);
    constexpr std::array volumes{&Metronome::mnuhigh_Click, &Metronome::mnumedium_Click,
                                 &Metronome::mnulow_Click};
    (m.*volumes[index % 3])();
    practice.startAccepted();
    practice.expire(beats / 4);

    constexpr std::array kSignatures{Option::FourFour, Option::ThreeFour, Option::TwoFour};
    const auto other = (static_cast<std::size_t>(plan.signature) + 1) % 3;
    practice.window_.turnOptionOn(kSignatures[other]);
    practice.window_.turnOptionOn(plan.skip ? Option::IncLinear : Option::IncSkip);
    practice.window_.typeBoxText(static_cast<Box>(index % 7), "-1");
    practice.startRefused();
    EXPECT_EQ(practice.state().beatsperbar, 4 - static_cast<double>(other)) << plan.name;
    EXPECT_EQ(practice.state().linearmode, plan.skip) << plan.name;
    practice.expire(beats / 4);

    m.Command4_Click();
    practice.expire(1000);
    m.Command4_Click();

    practice.choose(plan);
    practice.window_.typeBoxText(Box::Repeat, "1");
    practice.startAccepted();
    practice.expire(beats / 2);
    if (judgeSettling && practice.failure.empty())
        expectSettled(plan, practice.steps_);
    if (index % 2 == 1)
        m.Command3_Click();
}

TEST(LongRun, DaysOfPracticeKeepEveryValueInRangeAndTheHeapFlat)
{
    const char* mode = std::getenv("TAVRO_LONGRUN");
    const std::uint64_t wanted =
        mode != nullptr && std::string(mode) == "full" ? 100'000'000 : 1'000'000;
    const std::vector<Plan> plans = dayOfPlans();
    Practice practice;

    // A short day first, so that every string the window and the engine keep has
    // reached its size before the heap is measured.
    for (std::size_t i = 0; i < plans.size(); ++i)
        playPlan(practice, plans[i], i, 2000, false);
    ASSERT_EQ(practice.failure, "");

    const auto heapBefore = mallinfo2().uordblks;
    const std::uint64_t beatsBefore = practice.beats_;
    const auto began = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < plans.size() && practice.failure.empty(); ++i)
        playPlan(practice, plans[i], i, wanted / plans.size(), true);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - began;
    const auto heapAfter = mallinfo2().uordblks;
    ASSERT_EQ(practice.failure, "");

    const std::uint64_t played = practice.beats_ - beatsBefore;
    EXPECT_GE(played, wanted * 99 / 100);
    std::cout << "long run: " << played << " beats in " << took.count() << " s; heap in use "
              << heapBefore << " -> " << heapAfter << " bytes\n";
#ifndef TAVRO_HEAP_IS_INSTRUMENTED
    EXPECT_LE(heapAfter, heapBefore) << "the heap grew over " << played << " beats";
#endif
}

}  // namespace
}  // namespace tavro
