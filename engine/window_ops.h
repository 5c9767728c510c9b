#pragma once

#include <cstdint>
#include <string>

namespace tavro {

// The seven settings boxes of the main window.
enum class Box { Length, Intro, Repeat, StartSpeed, MaxSpeed, Linear, Skip };

// The option buttons: three in the Timing frame, two in the Increase Type frame.
enum class Option { FourFour, ThreeFour, TwoFour, IncLinear, IncSkip };

// The six value labels of the Current Status frame.
enum class StatusLabel { Speed, Bar, BarTotal, Beat, Repeat, RepeatTotal };

// The three items of the Volume menu.
enum class VolumeItem { High, Medium, Low };

// Everything the engine needs of the window and the platform. The desktop program
// implements it on real widgets, metronome-trace and the tests on plain values, so
// the same handlers run unchanged in both. All calls come from one thread.
//
// Texts are UTF-8. Multi-line texts separate their lines by a carriage return alone.
class WindowOps {
public:
    virtual ~WindowOps() = default;

    virtual std::string boxText(Box box) const = 0;
    virtual void setBoxText(Box box, const std::string& text) = 0;

    virtual bool optionOn(Option option) const = 0;

    virtual void setLabelCaption(StatusLabel label, const std::string& caption) = 0;

    virtual void setVolumeChecked(VolumeItem item, bool checked) = 0;

    // The interval of Timer1 in milliseconds; reading returns the last value set.
    virtual std::int32_t timerInterval() const = 0;
    virtual void setTimerInterval(std::int32_t milliseconds) = 0;

    // Modal, one OK button, no icon; returns when the user closes it.
    virtual void messageBox(const std::string& text, const std::string& title) = 0;

    // One beep per call; calls may follow back to back.
    virtual void beep() = 0;

    // Ends the program at once with all its windows.
    virtual void endProgram() = 0;
};

}  // namespace tavro
