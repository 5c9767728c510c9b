#pragma once

#include <QRect>
#include <cmath>

namespace tavro::ui {

// The layout is drawn in twips: 15 twips are one device-independent pixel, so Qt's
// high-DPI scaling keeps the proportions on any screen.
inline constexpr double kTwipsPerPixel = 15.0;

inline int twipsToPixels(double twips)
{
    return static_cast<int>(std::floor(twips / kTwipsPerPixel + 0.5));
}

inline QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

}  // namespace tavro::ui
