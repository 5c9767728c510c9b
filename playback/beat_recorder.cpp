#include "playback/beat_recorder.h"

#include <algorithm>

namespace tavro::playback {

void RecordedBeat::showOn(WindowOps& window) const
{
    for (std::size_t i = 0; i < captions.size(); ++i) {
        if (captions[i])
            window.setLabelCaption(static_cast<StatusLabel>(i), *captions[i]);
    }
}

bool RecordedBeat::writesCaptions() const
{
    return std::any_of(
        captions.begin(), captions.end(),
        [](const std::optional<std::string>& caption) { return caption.has_value(); });
}

RecordedBeat BeatRecorder::record(const std::function<void()>& tick)
{
    recording_.emplace();
    tick();
    RecordedBeat beat = std::move(*recording_);
    recording_.reset();
    return beat;
}

std::string BeatRecorder::boxText(Box box) const { return window_.boxText(box); }

void BeatRecorder::setBoxText(Box box, const std::string& text) { window_.setBoxText(box, text); }

bool BeatRecorder::optionOn(Option option) const { return window_.optionOn(option); }

void BeatRecorder::setLabelCaption(StatusLabel label, const std::string& caption)
{
    if (recording_)
        recording_->captions.at(static_cast<std::size_t>(label)) = caption;
    else
        window_.setLabelCaption(label, caption);
}

void BeatRecorder::setVolumeChecked(VolumeItem item, bool checked)
{
    window_.setVolumeChecked(item, checked);
}

std::int32_t BeatRecorder::timerInterval() const { return window_.timerInterval(); }

void BeatRecorder::setTimerInterval(std::int32_t milliseconds)
{
    window_.setTimerInterval(milliseconds);
}

void BeatRecorder::messageBox(const std::string& text, const std::string& title)
{
    window_.messageBox(text, title);
}

void BeatRecorder::beep()
{
    if (recording_)
        ++recording_->beeps;
    else
        window_.beep();
}

void BeatRecorder::endProgram() { window_.endProgram(); }

int comingBeatBeeps(const MetronomeState& state) { return state.running ? state.beepcount : 0; }

}  // namespace tavro::playback
