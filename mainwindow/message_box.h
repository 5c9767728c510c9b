#pragma once

#include <QString>

#include <string>

class QWidget;

namespace tavro::ui {

// The program's message box: modal, the given title, plain text, one OK button and no
// icon. Returns when the user has closed it; the answer is not used.
void showMessageBox(QWidget* parent, const std::string& text, const std::string& title);

// A notice that interrupts nothing: the same look, but modeless; it returns at once,
// placed next to `parent` rather than over its buttons, and deletes itself when closed.
void showNotice(QWidget* parent, const QString& title, const QString& text);

}  // namespace tavro::ui
