#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QString>

namespace tavro::ui {

// A named face where this system has it, else the nearest sans-serif face at the
// same size and weight ("Arial" resolves to Liberation Sans through fontconfig).
inline QFont faceOrSans(const QString& family, double pointSize, bool bold = false,
                        bool underline = false)
{
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}

// The dialog font the layout was designed for: about 8 points, 11 pixels high.
inline QFont dialogFont() { return faceOrSans(QStringLiteral("MS Sans Serif"), 8.0); }

}  // namespace tavro::ui
