#pragma once

#include "engine/window_ops.h"

#include <array>
#include <cstdint>
#include <string>

namespace tavro {

// What the engine does to a headless window that a user would see happen, told at the
// moment it happens. Each default does nothing, so a watcher overrides what it needs.
class WindowEffects {
public:
    virtual ~WindowEffects() = default;

    virtual void boxTextSet(Box, const std::string&) {}
    virtual void timerIntervalSet(std::int32_t) {}
    virtual void messageShown(const std::string&, const std::string&) {}  // text, title
    virtual void programEnded() {}
};

// The main window without a screen: plain values in place of the controls, opening
// with the default settings (DefaultSettings). A tool or a test types into the boxes
// and clicks the option buttons as a user would, runs the handlers of a Metronome on
// it, and reads back what the engine left: captions, check marks, the interval, and
// counts of beeps, messages and box rewrites. What the user does changes the values
// silently; only the engine's effects reach the optional WindowEffects.
class HeadlessWindow final : public WindowOps {
public:
    explicit HeadlessWindow(WindowEffects* effects = nullptr);

    // The user's actions.
    void typeBoxText(Box box, std::string text);
    void typeBoxTexts(const std::array<std::string, 7>& texts);  // in Box order
    // Turns `option` on and the other buttons of its frame off, as a click does.
    void turnOptionOn(Option option);
    // Sets one button alone, so that any combination can be made, also none or several
    // on in a frame, which no click on the real window leaves behind.
    void setOptionOn(Option option, bool on);

    const std::string& caption(StatusLabel label) const;
    const std::array<std::string, 6>& captions() const { return captions_; }  // by StatusLabel
    bool volumeChecked(VolumeItem item) const;

    // Counted since the window was made.
    std::uint64_t beepsSounded() const { return beeps_; }
    int messagesShown() const { return messages_; }
    int boxWrites(Box box) const;  // rewrites by the engine, not the user's typing
    const std::string& lastMessageText() const { return lastMessageText_; }
    const std::string& lastMessageTitle() const { return lastMessageTitle_; }
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
    WindowEffects& effects_;               // a watcher that ignores everything when none is given
    std::array<std::string, 7> boxTexts_;  // by Box
    std::array<int, 7> boxWrites_{};       // by Box
    std::array<bool, 5> options_;          // by Option
    std::array<std::string, 6> captions_;  // by StatusLabel
    std::array<bool, 3> volumeChecks_;     // by VolumeItem
    std::int32_t interval_;
    std::uint64_t beeps_ = 0;
    int messages_ = 0;
    std::string lastMessageText_;
    std::string lastMessageTitle_;
    bool ended_ = false;
};

}  // namespace tavro
