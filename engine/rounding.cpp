#include "rounding.h"

#include <cmath>

namespace tavro {

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double down = std::floor(value);
    const double fraction = value - down;  // exact for every double
    if (fraction < 0.5)
        return down;
    if (fraction > 0.5)
        return down + 1.0;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1.0;
}

std::int32_t intervalForRate(double beatsPerSecond)
{
    // The cutoff keeps the conversion below inside the int32 range: the slowest rate
    // gives 60000 ms, and faster rates give less.
    if (!std::isfinite(beatsPerSecond) || beatsPerSecond < kSlowestRate)
        beatsPerSecond = kSlowestRate;
    const double milliseconds = roundHalfEven(1000 * (1 / beatsPerSecond));
    if (milliseconds < 1)
        return 1;
    return static_cast<std::int32_t>(milliseconds);
}

double shownSpeed(std::int32_t intervalMs) { return roundHalfEven(1000.0 / intervalMs * 60.0); }

}  // namespace tavro
