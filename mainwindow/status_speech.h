#pragma once

#include "engine/window_ops.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavro::ui {

// A status value as a screen reader names it: "Speed: 60 beats per minute", "Bar -2 of 4",
// "Bars in the piece: 4", "Pass 1 of 2", "Passes at each speed: 2", "Beat 3". `total` is
// the caption of the value's "of" partner (the bar or pass total), for the bar and pass.
std::string spokenStatus(StatusLabel label, const std::string& value, const std::string& total);

// What a screen reader is told of a run while it plays, without a word at each beat: the
// speed when it changes, the pass when it changes, and that the maximum is reached. At
// 350 beats per minute a short plan changes both several times a second, faster than any
// voice can say them, so announcements keep a spacing: what changes meanwhile is said
// after it, as it then stands, once. A pass shorter than a second and a half is too short
// to be followed by ear, and is not said.
class StatusSpeech {
public:
    static constexpr std::int64_t kSpacingMs = 2000;
    static constexpr std::int64_t kShortestPassMs = 1500;

    // A new run from START: its first speed and pass, from its first beat on, are said
    // whatever was said before. `topSpeeds` are the captions the speed label may show at
    // the maximum (a step capped on it and a skip landing on it may round apart).
    void runStarted(std::vector<std::string> topSpeeds);

    // A caption shown at `nowMs` (any steady clock, in milliseconds).
    void shown(StatusLabel label, const std::string& caption, std::int64_t nowMs);

    // When the next announcement is due, if one waits.
    std::optional<std::int64_t> dueAt() const;

    // The announcement due at `nowMs`, if one is; it counts as said.
    std::optional<std::string> take(std::int64_t nowMs);

private:
    bool speedUnsaid() const { return speed_ != saidSpeed_; }
    bool passUnsaid() const;

    bool beforeFirstBeat_ = false;  // the captions still show the run before
    std::vector<std::string> topSpeeds_;
    std::string speed_, pass_, passTotal_;
    std::string saidSpeed_, saidPass_;
    std::optional<std::int64_t> lastSaidMs_;
    std::optional<std::int64_t> passChangedMs_;
    std::int64_t passLengthMs_ = 0;  // between the last two changes of the pass
};

}  // namespace tavro::ui
