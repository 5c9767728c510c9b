#pragma once

#include "engine/metronome_state.h"
#include "engine/window_ops.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace tavro::playback {

// What one beat shows and sounds: the captions its tick wrote and the beeps it asked for.
struct RecordedBeat {
    int beeps = 0;
    std::array<std::optional<std::string>, 6> captions;  // by StatusLabel; unset: not written

    // Writes the captions on `window`, in label order.
    void showOn(WindowOps& window) const;
    // Whether there is anything to show: a tick while no run goes writes no caption.
    bool writesCaptions() const;
};

// The window as the engine sees it. Every operation passes through to `window` at once,
// except while a beat is being counted (record()): the captions and beeps of that beat
// are held in the beat instead, since it is shown and heard at its own time, a little
// after its tick has run.
class BeatRecorder final : public WindowOps {
public:
    explicit BeatRecorder(WindowOps& window)
        : window_(window)
    {
    }

    // Runs `tick`, the engine counting one beat, and returns what it showed and sounded.
    RecordedBeat record(const std::function<void()>& tick);

    std::string boxText(Box box) const override;
    void setBoxText(Box box, const std::string& text) override;
    bool optionOn(Option option) const override;
    void setLabelCaption(StatusLabel label, const std::string& caption) override;
    void setVolumeChecked(VolumeItem item, bool checked) override;
    std::int32_t timerInterval() const override;
    void setTimerInterval(std::int32_t milliseconds) override;
    void messageBox(const std::string& text, const std::string& title) override;
    void beep() override;
    void endProgram() override;

private:
    WindowOps& window_;
    std::optional<RecordedBeat> recording_;
};

// The beeps of the coming beat, as the state stands: what its tick will ask for unless a
// handler changes that before it is counted (the volume while a run goes, else none).
// Once counted, a beat sounds what its tick really asked for (RecordedBeat::beeps).
int comingBeatBeeps(const MetronomeState& state);

}  // namespace tavro::playback
