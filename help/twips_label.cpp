#include "help/twips_label.h"

#include "toolkit/display_text.h"
#include "toolkit/twips.h"

namespace tavro::ui {

TwipsLabel::TwipsLabel(QWidget* parent, double leftTwips, float topTwips, double widthTwips,
                       double heightTwips)
    : QLabel(parent),
      leftTwips_(leftTwips),
      topTwips_(topTwips)
{
    setTextFormat(Qt::PlainText);
    setFixedSize(twipsToPixels(widthTwips), twipsToPixels(heightTwips));
    setTopTwips(topTwips);
}

void TwipsLabel::setTopTwips(float top)
{
    topTwips_ = top;
    move(twipsToPixels(leftTwips_), twipsToPixels(top));
}

void TwipsLabel::setCaption(const QString& caption)
{
    caption_ = caption;
    setText(displayText(caption));
}

}  // namespace tavro::ui
