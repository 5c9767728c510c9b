#pragma once

#include <array>

namespace tavro::test {

// The maxima, of the 60 to 350 that START accepts, for which a capped step,
// (max - 1) / 60 + 1 / 60, is not exactly max / 60: a skip plan never counts a landing
// on them, so the ordinary return follows every landing and the speed alternates
// between the maximum and max - skip + linear for good.
inline constexpr std::array<int, 39> kInexactMaxima{
    62,  66,  70,  74,  77,  81,  85,  89,  92,  96,  100, 104, 107,
    111, 115, 119, 124, 132, 139, 147, 154, 162, 169, 177, 184, 192,
    199, 207, 214, 222, 229, 237, 248, 263, 278, 293, 308, 323, 338};

}  // namespace tavro::test
