#pragma once

#include <QAccessible>

class QWidget;

namespace tavro::ui {

// Gives `widget` the role `role` to assistive technology, where Qt would give a plain
// widget none of its own (a "filler"). Call it before the widget is first shown.
void setAccessibleRole(QWidget* widget, QAccessible::Role role);

}  // namespace tavro::ui
