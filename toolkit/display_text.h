#pragma once

#include <QString>

#include <string>

namespace tavro::ui {

// A text whose lines are separated by carriage returns, as shown on screen: every
// carriage return (or carriage return + line feed) becomes one line break. The text
// itself is left as built; only the copy that is displayed is converted.
QString displayText(QString text);
inline QString displayText(const std::string& text)
{
    return displayText(QString::fromStdString(text));
}

}  // namespace tavro::ui
