#pragma once

#include <cstdint>

namespace tavro {

// Nearest whole number, exact halves to the even neighbour (937.5 -> 938,
// 312.5 -> 312). Independent of the floating-point environment's rounding mode.
// Non-finite values come back unchanged.
double roundHalfEven(double value);

// The timer interval for a rate in beats per second: the integer nearest to
// 1000 x (1 / rate), the quotient taken first, ties to even. A rate that is not
// finite or below one beat per minute gives the interval of one beat per minute, so
// the result always lies between 1 and 60000 for the rates a run can reach.
std::int32_t intervalForRate(double beatsPerSecond);

// The speed the Speed label shows for a timer interval: the beats per minute that the
// whole-millisecond interval really gives, to the nearest (350 plays at 171 ms: 351).
double shownSpeed(std::int32_t intervalMs);

// The slowest rate a speed step may set: one beat per minute.
inline constexpr double kSlowestRate = 1.0 / 60.0;

}  // namespace tavro
