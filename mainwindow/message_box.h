#pragma once

#include <QString>

#include <string>

class QWidget;

namespace tavro::ui {

// A text whose lines are separated by carriage returns, as shown on screen: every
// carriage return (or carriage return + line feed) becomes one line break. The text
// itself is left as built; only the copy that is displayed is converted.
QString displayText(const std::string& text);

// The program's message box: modal, the given title, plain text, one OK button and no
// icon. Returns when the user has closed it; the answer is not used.
void showMessageBox(QWidget* parent, const std::string& text, const std::string& title);

// A notice that interrupts nothing: the same look, but modeless; it returns at once,
// placed next to `parent` rather than over its buttons, and deletes itself when closed.
void showNotice(QWidget* parent, const QString& title, const QString& text);

}  // namespace tavro::ui
