#pragma once

#include <QFont>
#include <QList>

class QLabel;

namespace tavro::ui {

// "MS Sans Serif" where this system has it. Otherwise "Arial", which fontconfig maps to
// the metric-compatible Liberation Sans, rather than the generic sans-serif face: that
// is usually much wider, and captions such as "Maximum speed" would overflow the labels
// the layout gives them.
QFont sansSerifFace(double pointSize, bool bold = false);

// The main window's default font: the dialog font of about 8 points.
inline QFont formDialogFont() { return sansSerifFace(8.0); }

// `font` at the largest size, from its own down in quarter points (to no less than 6),
// at which the text of every label fits the label's width. The layout was designed for
// a face whose captions just fit; a wider substitute is made smaller, not clipped.
QFont fitToLabels(QFont font, const QList<QLabel*>& labels);

}  // namespace tavro::ui
