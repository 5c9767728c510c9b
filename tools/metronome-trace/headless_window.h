#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>

#include "engine/window_ops.h"

namespace tavro::trace {

// The main window without a screen: plain values in place of the controls, with the
// design-time texts and choices, and one trace line written to `out` for every
// observable effect the engine has on it, at the moment it happens. What the user does
// to the window (typing into a box, clicking an option button) changes the values
// silently: only the engine's effects are traced.
class HeadlessWindow final : public WindowOps {
public:
    explicit HeadlessWindow(std::ostream& out);

    void typeBoxText(Box box, std::string text);
    // Turns `option` on and the other buttons of its frame off.
    void turnOptionOn(Option option);

    const std::string& caption(StatusLabel label) const;
    bool volumeChecked(VolumeItem item) const;
    std::uint64_t beepsSounded() const { return beeps_; }  // since the window was made
    bool programEnded() const { return ended_; }

    std::string boxText(Box box) const override;
    void setBoxText(Box box, const std::string& text) override;
    bool optionOn(Option option) const override;
    void setLabelCaption(StatusLabel label, const std::string& caption) override;
    void setVolumeChecked(VolumeItem item, bool checked) override;
    std::int32_t timerInterval() const override { return interval_; }
    void setTimerInterval(std::int32_t milliseconds) override;
    void messageBox(const std::string& text, const std::string& title) override;
    void beep() override { ++beeps_; }
    void endProgram() override;

private:
    std::ostream& out_;
    std::array<std::string, 7> boxTexts_;   // indexed by Box
    std::array<bool, 5> options_;           // indexed by Option
    std::array<std::string, 6> captions_;   // indexed by StatusLabel
    std::array<bool, 3> volumeChecks_;      // indexed by VolumeItem
    std::int32_t interval_ = 1000;
    std::uint64_t beeps_ = 0;
    bool ended_ = false;
};

}  // namespace tavro::trace
