#pragma once

#include <QFont>
#include <QList>

class QLabel;

namespace tavro::ui {

// `font` at the largest size, from its own down in quarter points (to no less than 6),
// at which the text of every label fits the label's width. The layout was designed for
// a face whose captions just fit; a wider substitute is made smaller, not clipped.
QFont fitToLabels(QFont font, const QList<QLabel*>& labels);

}  // namespace tavro::ui
