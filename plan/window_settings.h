#pragma once

#include "engine/window_ops.h"

#include <array>
#include <cstddef>
#include <string>

namespace tavro::plan {

// What a user sets in the main window before pressing START: the texts typed into the
// seven settings boxes, the chosen Timing and Increase Type buttons, and the volume.
// A default-made one holds what the window opens with.
struct WindowSettings {
    WindowSettings();

    std::array<std::string, 7> boxTexts;  // by Box, exactly as typed
    Option timing;                        // FourFour, ThreeFour or TwoFour
    Option increase;                      // IncLinear or IncSkip
    VolumeItem volume;

    std::string& text(Box box) { return boxTexts[static_cast<std::size_t>(box)]; }
    const std::string& text(Box box) const { return boxTexts[static_cast<std::size_t>(box)]; }
};

}  // namespace tavro::plan
