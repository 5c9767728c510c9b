#pragma once

#include <QLabel>
#include <QString>

namespace tavro::ui {

// A label placed in twips whose top can be read and set at run time. The top is kept
// as the float it was given, so reading it back returns exactly what was set, however
// the pixel position was rounded; the pixel position is always the nearest whole pixel
// to that top.
//
// The caption keeps its lines separated by carriage returns, as the program builds
// them; only the text handed to QLabel for display has line feeds instead.
class TwipsLabel : public QLabel {
    Q_OBJECT

public:
    TwipsLabel(QWidget* parent, double leftTwips, float topTwips, double widthTwips,
               double heightTwips);

    float topTwips() const { return topTwips_; }
    void setTopTwips(float top);

    const QString& caption() const { return caption_; }
    void setCaption(const QString& caption);

private:
    double leftTwips_;
    float topTwips_;
    QString caption_;
};

}  // namespace tavro::ui
