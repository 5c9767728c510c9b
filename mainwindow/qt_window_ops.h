#pragma once

#include "engine/window_ops.h"
#include "mainwindow/form1_controls.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

class QAction;
class QWidget;

namespace tavro::playback {
class BeatTimer;
}

namespace tavro::ui {

// The engine's window operations on the real widgets of the main window.
class QtWindowOps : public WindowOps {
public:
    struct Services {
        std::function<void()> beep;        // one system beep
        std::function<void()> endProgram;  // close every window and leave the event loop
    };

    QtWindowOps(const Form1Controls& controls, const std::array<QAction*, 3>& volumeItems,
                playback::BeatTimer& timer, QWidget* dialogParent, Services services);

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

    // What a beat changed, held back while it was counted: the beat is shown and heard
    // at its own time, which comes a little after its handler has run.
    struct CountedBeat {
        int beeps = 0;
        std::array<std::optional<std::string>, 6> captions;  // by StatusLabel
    };
    // Between these two calls captions and beeps are collected instead of shown.
    void beginBeat();
    CountedBeat endBeat();
    void showCaptions(const CountedBeat& beat);

    // The text and title of the last message box opened, as built (carriage returns kept).
    const std::string& lastMessageText() const { return lastMessageText_; }
    const std::string& lastMessageTitle() const { return lastMessageTitle_; }

private:
    const Form1Controls& controls_;
    std::array<QAction*, 3> volumeItems_;
    playback::BeatTimer& timer_;
    QWidget* dialogParent_;
    Services services_;
    std::optional<CountedBeat> counting_;
    std::string lastMessageText_;
    std::string lastMessageTitle_;
};

}  // namespace tavro::ui
