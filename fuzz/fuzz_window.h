#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/window_ops.h"

namespace tavro::fuzz {

// The window operations on plain values, as the main window starts (default texts,
// 4/4 and Linear on, Medium checked, Timer1 at 1000 ms). Unlike the real window the
// option buttons may be set in any combination, also none or several per frame.
struct FuzzWindow final : WindowOps {
    std::array<std::string, 7> boxes{"4", "2", "2", "60", "300", "5", "30"};
    std::array<bool, 5> options{true, false, false, true, false};
    std::array<std::string, 6> labels{"60", "-2", "4", "0", "1", "1"};
    std::array<int, 7> boxWrites{};
    std::int32_t interval = 1000;
    int messages = 0;
    std::string lastTitle;
    std::uint64_t beeps = 0;

    std::string boxText(Box b) const override { return boxes[static_cast<std::size_t>(b)]; }
    void setBoxText(Box b, const std::string& text) override {
        boxes[static_cast<std::size_t>(b)] = text;
        ++boxWrites[static_cast<std::size_t>(b)];
    }
    bool optionOn(Option o) const override { return options[static_cast<std::size_t>(o)]; }
    void setLabelCaption(StatusLabel l, const std::string& c) override {
        labels[static_cast<std::size_t>(l)] = c;
    }
    void setVolumeChecked(VolumeItem, bool) override {}
    std::int32_t timerInterval() const override { return interval; }
    void setTimerInterval(std::int32_t ms) override { interval = ms; }
    void messageBox(const std::string&, const std::string& title) override {
        ++messages;
        lastTitle = title;
    }
    void beep() override { ++beeps; }
    void endProgram() override {}
};

}  // namespace tavro::fuzz
