#include "mainwindow/form1_controls.h"

#include "toolkit/fonts.h"
#include "toolkit/twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include <limits>

namespace tavro::ui {

namespace {

// A parent for controls, with its own origin in the client area in twips: controls are
// given client-area positions and placed relative to their container.
struct Container {
    QWidget* widget;
    int leftTwips;
    int topTwips;
};

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

template <typename Widget>
Widget* place(Widget* control, const Container& in, const char* name, TwipsRect at)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(twipsRect(at.left - in.leftTwips, at.top - in.topTwips, at.width,
                                   at.height));
    return control;
}

QGroupBox* addFrame(const Container& client, const char* name, const char* title,
                    TwipsRect at)
{
    return place(new QGroupBox(QString::fromLatin1(title), client.widget), client, name, at);
}

Container inside(QGroupBox* frame, TwipsRect at) { return {frame, at.left, at.top}; }

// Caption and unit labels of the settings rows: default font, plain text.
void addCaption(const Container& in, const char* name, const char* text, Qt::Alignment align,
                TwipsRect at)
{
    auto* label = place(new QLabel(QString::fromLatin1(text), in.widget), in, name, at);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(align | Qt::AlignVCenter);
}

QLineEdit* addBox(const Container& in, const char* name, const char* text,
                  const char* accessibleName, const char* description, TwipsRect at)
{
    auto* box = place(new QLineEdit(QString::fromLatin1(text), in.widget), in, name, at);
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    box->setAccessibleName(QString::fromLatin1(accessibleName));
    box->setAccessibleDescription(QString::fromLatin1(description));
    return box;
}

// An option button that answers a click anywhere on its area, not only on its circle and
// caption: the layout gives each button a generous width, and all of it is the button.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

QRadioButton* addOption(const Container& in, const char* name, const char* caption,
                        bool on, TwipsRect at)
{
    // Siblings in one frame form one exclusive group; the frames stay independent.
    auto* option = place(new OptionButton(QString::fromLatin1(caption), in.widget), in, name, at);
    option->setAutoExclusive(true);
    option->setChecked(on);
    option->setAccessibleName(QString::fromLatin1(caption));
    return option;
}

QPushButton* addButton(const Container& in, const char* name, const char* caption,
                       const char* description, int topTwips)
{
    auto* button = place(new QPushButton(QString::fromLatin1(caption), in.widget), in, name,
                         {5040, topTwips, 1215, 615});
    // No button answers Enter or Escape on the window's behalf.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setAccessibleName(QString::fromLatin1(caption));
    button->setAccessibleDescription(QString::fromLatin1(description));
    return button;
}

QFont statusFont(double points) { return msSansSerif(points, true); }

void addStatusCaption(const Container& in, const char* name, const char* text,
                      Qt::Alignment align, TwipsRect at)
{
    auto* label = place(new QLabel(QString::fromLatin1(text), in.widget), in, name, at);
    label->setTextFormat(Qt::PlainText);
    label->setFont(statusFont(12));
    label->setAlignment(align | Qt::AlignVCenter);
}

// A value label: blue, centred, single-line border. Its accessible name is the value
// it shows (kept in step by the window operations), its description what the value is.
QLabel* addStatusValue(const Container& in, const char* name, const char* text,
                       const char* description, double points, TwipsRect at)
{
    auto* label = place(new QLabel(QString::fromLatin1(text), in.widget), in, name, at);
    label->setTextFormat(Qt::PlainText);
    label->setFont(statusFont(points));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    label->setAccessibleName(label->text());
    label->setAccessibleDescription(QString::fromLatin1(description));
    return label;
}

void buildBarInformation(const Container& client, Form1Controls& c)
{
    const TwipsRect frameAt{120, 120, 2895, 1575};
    c.Frame3 = addFrame(client, "Frame3", "Bar Information", frameAt);
    const Container frame = inside(c.Frame3, frameAt);

    addCaption(frame, "Label1", "Length", Qt::AlignRight, {600, 360, 855, 255});
    addCaption(frame, "Label4", "Bars", Qt::AlignLeft, {2160, 360, 615, 255});
    addCaption(frame, "Label2", "Intro", Qt::AlignRight, {600, 840, 855, 255});
    addCaption(frame, "Label5", "Bars", Qt::AlignLeft, {2160, 840, 615, 255});
    addCaption(frame, "Label3", "Repeat", Qt::AlignRight, {600, 1320, 855, 255});
    addCaption(frame, "Label6", "Times", Qt::AlignLeft, {2160, 1320, 735, 255});

    // The boxes belong to the window and lie over the frame.
    c.boxes[static_cast<std::size_t>(Box::Length)] =
        addBox(client, "length", "4", "Length", "Bars in the piece", {1560, 360, 495, 285});
    c.boxes[static_cast<std::size_t>(Box::Intro)] =
        addBox(client, "intro", "2", "Intro", "Bars of introduction before every pass",
               {1560, 840, 495, 285});
    c.boxes[static_cast<std::size_t>(Box::Repeat)] =
        addBox(client, "repeat", "2", "Repeat", "Times the piece is played at each speed",
               {1560, 1320, 495, 285});
}

void buildBeatInformation(const Container& client, Form1Controls& c)
{
    const TwipsRect frameAt{120, 1800, 2895, 1695};
    c.Frame4 = addFrame(client, "Frame4", "Beat Information", frameAt);
    const Container frame = inside(c.Frame4, frameAt);

    addCaption(frame, "Label10", "Starting speed", Qt::AlignRight, {360, 2040, 1095, 255});
    addCaption(frame, "Label7", "Beats/Min", Qt::AlignLeft, {2160, 2040, 735, 255});
    addCaption(frame, "Label18", "Maximum speed", Qt::AlignRight, {240, 2400, 1215, 255});
    addCaption(frame, "Label8", "Beats/Min", Qt::AlignLeft, {2160, 2400, 735, 255});
    addCaption(frame, "Label12", "Skip increase", Qt::AlignRight, {480, 2760, 975, 255});
    addCaption(frame, "Label9", "Beats/Min", Qt::AlignLeft, {2160, 2760, 735, 255});
    addCaption(frame, "Label11", "Linear increase", Qt::AlignRight, {360, 3120, 1095, 255});
    addCaption(frame, "Label20", "Beats/Min", Qt::AlignLeft, {2160, 3120, 735, 255});

    const char* perMinute = "Beats per minute";
    c.boxes[static_cast<std::size_t>(Box::StartSpeed)] = addBox(
        client, "startspeed", "60", "Starting speed", perMinute, {1560, 2040, 495, 285});
    // The one settings box that belongs to its frame.
    c.boxes[static_cast<std::size_t>(Box::MaxSpeed)] = addBox(
        frame, "maxspeed", "300", "Maximum speed", perMinute, {1560, 2400, 495, 285});
    c.boxes[static_cast<std::size_t>(Box::Skip)] =
        addBox(client, "skip", "30", "Skip increase", perMinute, {1560, 2760, 495, 285});
    c.boxes[static_cast<std::size_t>(Box::Linear)] =
        addBox(client, "linear", "5", "Linear increase", perMinute, {1560, 3120, 495, 285});
}

void buildOptionFrames(const Container& client, Form1Controls& c)
{
    const TwipsRect timingAt{3240, 120, 1575, 1575};
    c.Frame1 = addFrame(client, "Frame1", "Timing", timingAt);
    const Container timing = inside(c.Frame1, timingAt);
    c.options[static_cast<std::size_t>(Option::FourFour)] =
        addOption(timing, "fourfour", "4/4", true, {3480, 360, 1215, 255});
    c.options[static_cast<std::size_t>(Option::ThreeFour)] =
        addOption(timing, "threefour", "3/4", false, {3480, 840, 1215, 255});
    c.options[static_cast<std::size_t>(Option::TwoFour)] =
        addOption(timing, "twofour", "2/4", false, {3480, 1320, 1095, 255});

    const TwipsRect increaseAt{3240, 1800, 1575, 1575};
    c.Frame2 = addFrame(client, "Frame2", "Increase Type", increaseAt);
    const Container increase = inside(c.Frame2, increaseAt);
    c.options[static_cast<std::size_t>(Option::IncLinear)] =
        addOption(increase, "inclinear", "Linear", true, {3480, 2040, 1095, 375});
    c.options[static_cast<std::size_t>(Option::IncSkip)] =
        addOption(increase, "incskip", "Skip", false, {3480, 2520, 1215, 255});
}

void buildCurrentStatus(const Container& client, Form1Controls& c)
{
    const TwipsRect frameAt{120, 3600, 4695, 1815};
    c.Frame5 = addFrame(client, "Frame5", "Current Status", frameAt);
    const Container frame = inside(c.Frame5, frameAt);
    auto value = [&](StatusLabel which, const char* name, const char* text,
                     const char* description, double points, TwipsRect at) {
        c.statusLabels[static_cast<std::size_t>(which)] =
            addStatusValue(frame, name, text, description, points, at);
    };

    addStatusCaption(frame, "Label13", "Speed", Qt::AlignRight, {360, 3960, 855, 375});
    value(StatusLabel::Speed, "speedlabel", "60", "Speed in beats per minute", 12,
          {1320, 3960, 735, 375});
    addStatusCaption(frame, "Label17", "Beats/Min", Qt::AlignLeft, {2160, 3960, 1455, 375});

    addStatusCaption(frame, "Label15", "At Bar", Qt::AlignRight, {360, 4440, 855, 375});
    value(StatusLabel::Bar, "barlabel", "-2", "At bar", 12, {1320, 4440, 735, 375});
    addStatusCaption(frame, "Label16", "of", Qt::AlignLeft, {2160, 4440, 375, 255});
    value(StatusLabel::BarTotal, "bartotallabel", "4", "Bar total", 12,
          {2520, 4440, 735, 375});

    addStatusCaption(frame, "Label14", "Repeat", Qt::AlignRight, {240, 4920, 975, 375});
    value(StatusLabel::Repeat, "repeatlabel", "1", "Repeat", 12, {1320, 4920, 735, 375});
    addStatusCaption(frame, "Label19", "of", Qt::AlignLeft, {2160, 4920, 375, 255});
    value(StatusLabel::RepeatTotal, "repeattotallabel", "1", "Repeat total", 12,
          {2520, 4920, 735, 375});

    value(StatusLabel::Beat, "beatlabel", "0", "Beat", 24, {3720, 4320, 735, 615});
}

void buildButtons(const Container& client, Form1Controls& c)
{
    c.Command2 = addButton(client, "Command2", "START", "Check the settings and start a run", 240);
    c.Command3 = addButton(client, "Command3", "STOP", "Stop the run", 1080);
    c.Command4 = addButton(client, "Command4", "PAUSE", "Pause or resume the run", 1920);
    c.Command1 = addButton(client, "Command1", "QUIT", "End the program", 4680);
}

void setFocusOrder(const Form1Controls& c)
{
    const std::array<QWidget*, 16> order{
        c.Command1,
        c.box(Box::StartSpeed),
        c.box(Box::Length),
        c.box(Box::Intro),
        c.box(Box::Repeat),
        c.box(Box::Linear),
        c.box(Box::Skip),
        c.option(Option::FourFour),
        c.option(Option::ThreeFour),
        c.option(Option::TwoFour),
        c.option(Option::IncLinear),
        c.option(Option::IncSkip),
        c.Command2,
        c.Command3,
        c.box(Box::MaxSpeed),
        c.Command4,
    };
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

}  // namespace

Form1Controls buildForm1Controls(QWidget* client)
{
    const Container window{client, 0, 0};
    Form1Controls controls;
    buildBarInformation(window, controls);
    buildBeatInformation(window, controls);
    buildOptionFrames(window, controls);
    buildCurrentStatus(window, controls);
    buildButtons(window, controls);

    // The window's own boxes lie over the frames and must be drawn above them.
    for (QLineEdit* box : controls.boxes) {
        if (box->parentWidget() == client) {
            box->raise();
        }
    }
    setFocusOrder(controls);
    return controls;
}

}  // namespace tavro::ui
