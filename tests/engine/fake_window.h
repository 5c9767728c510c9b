#pragma once

#include "engine/window_ops.h"

#include <array>
#include <string>

namespace tavro::test {

// The window operations on plain values, as the main window starts: the default
// settings, 4/4 and Linear on, Timer1 at 1000 ms. The golden traces check what the
// engine shows; these fakes only let the tests reach the engine's own state.
class FakeWindow : public WindowOps {
public:
    std::array<std::string, 7> boxes{"4", "2", "2", "60", "300", "5", "30"};
    std::array<bool, 5> options{true, false, false, true, false};
    std::array<std::string, 6> labels{};
    std::int32_t interval = 1000;
    int messages = 0;

    std::string& box(Box b) { return boxes[static_cast<int>(b)]; }

    // Turns one option on and the others of its frame off, as a click would.
    void choose(Option o)
    {
        const int i = static_cast<int>(o);
        for (int k = i < 3 ? 0 : 3; k < (i < 3 ? 3 : 5); ++k)
            options[k] = (k == i);
    }

    std::string boxText(Box b) const override { return boxes[static_cast<int>(b)]; }
    void setBoxText(Box b, const std::string& text) override { box(b) = text; }
    bool optionOn(Option o) const override { return options[static_cast<int>(o)]; }
    void setLabelCaption(StatusLabel l, const std::string& c) override
    {
        labels[static_cast<int>(l)] = c;
    }
    void setVolumeChecked(VolumeItem, bool) override {}
    std::int32_t timerInterval() const override { return interval; }
    void setTimerInterval(std::int32_t ms) override { interval = ms; }
    void messageBox(const std::string&, const std::string&) override { ++messages; }
    void beep() override {}
    void endProgram() override {}
};

}  // namespace tavro::test
