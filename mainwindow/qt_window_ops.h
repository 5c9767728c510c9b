#pragma once

#include "engine/window_ops.h"
#include "mainwindow/form1_controls.h"

#include <array>
#include <functional>
#include <string>

class QAction;
class QWidget;

namespace tavro::playback {
class BeatTimer;
}

namespace tavro::ui {

// The engine's window operations on the real widgets of the main window: each one takes
// effect at once.
class QtWindowOps : public WindowOps {
public:
    struct Services {
        std::function<void()> beep;        // one system beep
        std::function<void()> endProgram;  // close every window and leave the event loop
        // Every caption written to a status label, changed or not (a screen reader's
        // announcements follow them).
        std::function<void(StatusLabel, const std::string&)> captionShown;
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

private:
    // The status label's accessible name, from its caption (and its total's).
    void nameStatusLabel(StatusLabel label);

    const Form1Controls& controls_;
    std::array<QAction*, 3> volumeItems_;
    playback::BeatTimer& timer_;
    QWidget* dialogParent_;
    Services services_;
};

}  // namespace tavro::ui
