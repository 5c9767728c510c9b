#pragma once

#include "engine/window_ops.h"

#include <array>
#include <string>
#include <vector>

namespace tavro::test {

// The window operations on plain values, as the main window starts: the default
// settings, 4/4 and Linear on, Medium checked, Timer1 at 1000 ms.
class FakeWindow : public WindowOps {
public:
    std::array<std::string, 7> boxes{"4", "2", "2", "60", "300", "5", "30"};
    std::array<bool, 5> options{true, false, false, true, false};
    std::array<std::string, 6> labels{"60", "-2", "4", "0", "1", "1"};
    std::array<bool, 3> volumeChecks{false, true, false};
    std::int32_t interval = 1000;
    std::vector<std::int32_t> intervalsSet;
    std::vector<std::string> messages;
    std::vector<std::string> titles;
    int beeps = 0;
    bool ended = false;

    std::string& box(Box b) { return boxes[static_cast<int>(b)]; }
    const std::string& label(StatusLabel l) const { return labels[static_cast<int>(l)]; }

    // Turns one option on and the others of its frame off, as a click would.
    void choose(Option o)
    {
        const int i = static_cast<int>(o);
        const int first = i < 3 ? 0 : 3;
        const int last = i < 3 ? 3 : 5;
        for (int k = first; k < last; ++k)
            options[k] = (k == i);
    }

    std::string boxText(Box b) const override { return boxes[static_cast<int>(b)]; }
    void setBoxText(Box b, const std::string& text) override { boxes[static_cast<int>(b)] = text; }
    bool optionOn(Option o) const override { return options[static_cast<int>(o)]; }
    void setLabelCaption(StatusLabel l, const std::string& c) override
    {
        labels[static_cast<int>(l)] = c;
    }
    void setVolumeChecked(VolumeItem v, bool on) override { volumeChecks[static_cast<int>(v)] = on; }
    std::int32_t timerInterval() const override { return interval; }
    void setTimerInterval(std::int32_t ms) override
    {
        interval = ms;
        intervalsSet.push_back(ms);
    }
    void messageBox(const std::string& text, const std::string& title) override
    {
        messages.push_back(text);
        titles.push_back(title);
    }
    void beep() override { ++beeps; }
    void endProgram() override { ended = true; }
};

}  // namespace tavro::test
