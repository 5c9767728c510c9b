#include "mainwindow/status_speech.h"

#include <algorithm>

namespace tavro::ui {

std::string spokenStatus(StatusLabel label, const std::string& value, const std::string& total)
{
    switch (label) {
    case StatusLabel::Speed: return "Speed: " + value + " beats per minute";
    case StatusLabel::Bar: return "Bar " + value + " of " + total;
    case StatusLabel::BarTotal: return "Bars in the piece: " + value;
    case StatusLabel::Beat: return "Beat " + value;
    case StatusLabel::Repeat: return "Pass " + value + " of " + total;
    case StatusLabel::RepeatTotal: return "Passes at each speed: " + value;
    }
    return value;
}

void StatusSpeech::runStarted(std::vector<std::string> topSpeeds)
{
    beforeFirstBeat_ = true;
    topSpeeds_ = std::move(topSpeeds);
    saidSpeed_.clear();
    saidPass_.clear();
    passChangedMs_.reset();
    passLengthMs_ = kSpacingMs;  // the first pass is said
}

void StatusSpeech::shown(StatusLabel label, const std::string& caption, std::int64_t nowMs)
{
    switch (label) {
    case StatusLabel::Speed:
        speed_ = caption;
        beforeFirstBeat_ = false;
        break;
    case StatusLabel::RepeatTotal: passTotal_ = caption; break;
    case StatusLabel::Repeat:
        if (caption == pass_)
            break;
        if (passChangedMs_)
            passLengthMs_ = nowMs - *passChangedMs_;
        passChangedMs_ = nowMs;
        pass_ = caption;
        break;
    default: break;
    }
}

bool StatusSpeech::passUnsaid() const
{
    return pass_ != saidPass_ && passLengthMs_ >= kShortestPassMs;
}

std::optional<std::int64_t> StatusSpeech::dueAt() const
{
    if (beforeFirstBeat_ || speed_.empty() || (!speedUnsaid() && !passUnsaid()))
        return std::nullopt;
    return lastSaidMs_ ? *lastSaidMs_ + kSpacingMs : 0;
}

std::optional<std::string> StatusSpeech::take(std::int64_t nowMs)
{
    const std::optional<std::int64_t> due = dueAt();
    if (!due || nowMs < *due)
        return std::nullopt;
    std::string said;
    if (speedUnsaid()) {
        said = "Speed " + speed_ + " beats per minute";
        if (std::find(topSpeeds_.begin(), topSpeeds_.end(), speed_) != topSpeeds_.end())
            said += ", the maximum";
    }
    if (passUnsaid())
        said += (said.empty() ? "Pass " : ", pass ") + pass_ + " of " + passTotal_;
    saidSpeed_ = speed_;
    saidPass_ = pass_;
    lastSaidMs_ = nowMs;
    return said;
}

}  // namespace tavro::ui
