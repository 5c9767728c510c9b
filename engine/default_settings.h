#pragma once

#include "engine/window_ops.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavro {

// The main window as the program opens it: the texts of the seven settings boxes, the
// chosen options, the captions of the six value labels, the checked volume and the
// interval Timer1 starts with. There is no configuration: these are the settings every
// run starts from, so the window, the headless window and every tool take them from here.
struct DefaultSettings {
    // By Box.
    static constexpr std::array<const char*, 7> boxTexts{"4", "2", "2", "60", "300", "5", "30"};
    // By Option: 4/4 and Linear on.
    static constexpr std::array<bool, 5> options{true, false, false, true, false};
    // By StatusLabel.
    static constexpr std::array<const char*, 6> captions{"60", "-2", "4", "0", "1", "1"};
    static constexpr VolumeItem volume = VolumeItem::Medium;  // 8 beeps, the load value
    static constexpr std::int32_t timerInterval = 1000;       // milliseconds

    static constexpr const char* boxText(Box box) { return boxTexts[index(box)]; }
    static constexpr bool optionOn(Option option) { return options[index(option)]; }
    static constexpr const char* caption(StatusLabel label) { return captions[index(label)]; }

private:
    template <typename Enum>
    static constexpr std::size_t index(Enum value)
    {
        return static_cast<std::size_t>(value);
    }
};

}  // namespace tavro
