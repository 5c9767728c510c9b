#pragma once

#include "engine/window_ops.h"

#include <QString>

#include <array>

#include <random>

namespace tavro::randomuser {

using Rng = std::mt19937_64;

// A text a user might type or paste into a settings box: numbers at and around the box's
// bounds in many spellings, plain in-range numbers, the empty text, huge texts of about
// 100 KB, non-ASCII letters and digits, control characters and number-like garbage.
QString randomBoxText(Rng& rng, Box box);

// One in-range text for each of the seven boxes (in Box order) that START must accept:
// the maximum speed above the starting speed, the skip increase above the linear one.
// Short pieces and few repeats, so that speed steps and the maximum come soon.
std::array<QString, 7> acceptedSettings(Rng& rng);

}  // namespace tavro::randomuser
