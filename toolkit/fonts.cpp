#include "toolkit/fonts.h"

#include <QFontMetrics>
#include <QLabel>

namespace tavro::ui {

QFont fitToLabels(QFont font, const QList<QLabel*>& labels)
{
    constexpr double kSmallest = 6.0;
    constexpr double kStep = 0.25;
    auto allFit = [&labels](const QFont& candidate) {
        const QFontMetrics metrics(candidate);
        for (const QLabel* label : labels) {
            if (metrics.horizontalAdvance(label->text()) > label->contentsRect().width()) {
                return false;
            }
        }
        return true;
    };
    while (font.pointSizeF() - kStep >= kSmallest && !allFit(font)) {
        font.setPointSizeF(font.pointSizeF() - kStep);
    }
    return font;
}

}  // namespace tavro::ui
