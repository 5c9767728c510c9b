#pragma once

#include <QFont>
#include <QFontDatabase>
#include <QList>
#include <QString>
#include <QStringList>

class QLabel;

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

// "MS Sans Serif" where this system has it. Otherwise "Arial", which fontconfig maps to
// the metric-compatible Liberation Sans, rather than the generic sans-serif face: that
// is usually much wider, and captions such as "Maximum speed" would overflow the labels
// the layout gives them.
inline QFont msSansSerif(double pointSize, bool bold = false, bool underline = false)
{
    static const bool installed =
        QFontDatabase::families().contains(QStringLiteral("MS Sans Serif"));
    return faceOrSans(installed ? QStringLiteral("MS Sans Serif") : QStringLiteral("Arial"),
                      pointSize, bold, underline);
}

// The dialog font the layout was designed for: about 8 points, 11 pixels high.
inline QFont dialogFont() { return msSansSerif(8.0); }

// `font` at the largest size, from its own down in quarter points (to no less than 6),
// at which the text of every label fits the label's width. The layout was designed for
// a face whose captions just fit; a wider substitute is made smaller, not clipped.
QFont fitToLabels(QFont font, const QList<QLabel*>& labels);

}  // namespace tavro::ui
