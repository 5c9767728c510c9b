#pragma once

#include <QString>

#include <string>

namespace tavro::ui {

// A text whose lines are separated by carriage returns, as shown on screen: every
// carriage return (or carriage return + line feed) becomes one line break. The text
// itself is left as built; only the copy that is displayed is converted.
inline QString displayText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

inline QString displayText(const std::string& text)
{
    return displayText(QString::fromStdString(text));
}

}  // namespace tavro::ui
