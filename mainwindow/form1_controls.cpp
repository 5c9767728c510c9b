#include "mainwindow/form1_controls.h"

#include "engine/default_settings.h"
#include "mainwindow/form1_layout.h"
#include "toolkit/fonts.h"
#include "toolkit/twips.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

#include <limits>
#include <string_view>

namespace tavro::ui {

namespace {

QString latin1(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A control's row of the layout table, looked up while compiling: a name that the table
// lacks does not compile.
struct At {
    consteval At(const char* name)
        : index(form1PlacementIndex(name))
    {
        if (index == kForm1Layout.size()) {
            throw "the control is missing from kForm1Layout";
        }
    }
    std::size_t index;
};

// Creates a control where the layout table puts it: a child of the container the table
// names (frames are built before their controls), placed relative to that container.
template <typename Widget>
Widget* place(QWidget* client, At at, const QString& text)
{
    const Form1Placement& p = kForm1Layout[at.index];
    QWidget* parent = client;
    int originLeft = 0;
    int originTop = 0;
    if (p.container != kForm1Client) {
        const Form1Placement& frame = *findForm1Placement(p.container);
        parent = client->findChild<QWidget*>(latin1(frame.name), Qt::FindDirectChildrenOnly);
        Q_ASSERT(parent != nullptr);
        originLeft = frame.left;
        originTop = frame.top;
    }
    auto* control = new Widget(text, parent);
    control->setObjectName(latin1(p.name));
    control->setGeometry(twipsRect(p.left - originLeft, p.top - originTop, p.width, p.height));
    return control;
}

QGroupBox* addFrame(QWidget* client, At at, const char* title)
{
    return place<QGroupBox>(client, at, QString::fromLatin1(title));
}

// A caption or unit label of a settings row: default font, plain text.
void addCaption(QWidget* client, At at, const char* text, Qt::Alignment align)
{
    auto* label = place<QLabel>(client, at, QString::fromLatin1(text));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(align | Qt::AlignVCenter);
}

// A label's place and text.
struct Labelled {
    At at;
    const char* text;
};

// One row of a settings frame: a caption ending next to the box, the box with its
// default text, named for a screen reader by the caption, and the unit after it.
void addSettingsRow(QWidget* client, Form1Controls& c, Labelled caption, Box which, At at,
                    Labelled unit, const char* description)
{
    addCaption(client, caption.at, caption.text, Qt::AlignRight);
    addCaption(client, unit.at, unit.text, Qt::AlignLeft);
    auto* box = place<QLineEdit>(client, at, QString::fromLatin1(DefaultSettings::boxText(which)));
    box->setMaxLength(std::numeric_limits<int>::max());
    box->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    box->setAccessibleName(QString::fromLatin1(caption.text));
    box->setAccessibleDescription(QString::fromLatin1(description));
    c.boxes[static_cast<std::size_t>(which)] = box;
}

// An option button that answers a click anywhere on its area, not only on its circle and
// caption: the layout gives each button a generous width, and all of it is the button.
class OptionButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

// An option button, on where the default settings choose it.
void addOption(QWidget* client, Form1Controls& c, Option which, At at, const char* caption)
{
    // Siblings in one frame form one exclusive group; the frames stay independent.
    auto* option = place<OptionButton>(client, at, QString::fromLatin1(caption));
    option->setAutoExclusive(true);
    option->setChecked(DefaultSettings::optionOn(which));
    option->setAccessibleName(QString::fromLatin1(caption));
    c.options[static_cast<std::size_t>(which)] = option;
}

QPushButton* addButton(QWidget* client, At at, const char* caption, const char* description)
{
    auto* button = place<QPushButton>(client, at, QString::fromLatin1(caption));
    // No button answers Enter or Escape on the window's behalf.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setAccessibleName(QString::fromLatin1(caption));
    button->setAccessibleDescription(QString::fromLatin1(description));
    return button;
}

QFont statusFont(double points) { return msSansSerif(points, true); }

void addStatusCaption(QWidget* client, At at, const char* text, Qt::Alignment align)
{
    auto* label = place<QLabel>(client, at, QString::fromLatin1(text));
    label->setTextFormat(Qt::PlainText);
    label->setFont(statusFont(12));
    label->setAlignment(align | Qt::AlignVCenter);
}

// A value label's text: pure blue on a light window, as the layout draws it; where the
// desktop's palette makes the window dark, pure blue would hardly show on it, and a light
// blue stays readable (at least 4.5:1 on the dark greys of dark themes).
QColor valueTextColour(const QColor& background)
{
    return background.lightness() < 128 ? QColor(153, 194, 255) : QColor(0, 0, 255);
}

// A status value label, its text colour kept in step with the background it stands on,
// also when the desktop changes between a light and a dark palette while it runs.
class ValueLabel : public QLabel {
public:
    ValueLabel(const QString& text, QWidget* parent)
        : QLabel(text, parent)
    {
        followBackground();
    }

protected:
    void changeEvent(QEvent* event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::PaletteChange)
            followBackground();
    }

private:
    void followBackground()
    {
        const QColor wanted = valueTextColour(palette().color(backgroundRole()));
        // Also ends the palette change that setting the colour causes.
        if (palette().color(foregroundRole()) == wanted)
            return;
        // Only the text colour is the label's own; the background stays inherited.
        QPalette own;
        own.setColor(foregroundRole(), wanted);
        setPalette(own);
    }
};

// A value label: blue, centred, single-line border, showing its caption at start. Its
// accessible name says what the value is and the value (kept in step by the window
// operations: "Speed: 60 beats per minute"), its description what the value is.
void addStatusValue(QWidget* client, Form1Controls& c, StatusLabel which, At at,
                    const char* description, double points = 12)
{
    auto* label =
        place<ValueLabel>(client, at, QString::fromLatin1(DefaultSettings::caption(which)));
    label->setTextFormat(Qt::PlainText);
    label->setFont(statusFont(points));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setLineWidth(1);
    // Painted whole by itself, on the window's colour: a new value repaints the label
    // alone, not the frame behind it (several times a beat at the fastest speeds).
    label->setAutoFillBackground(true);
    label->setAccessibleDescription(QString::fromLatin1(description));
    c.statusLabels[static_cast<std::size_t>(which)] = label;
}

void buildSettingsFrames(QWidget* client, Form1Controls& c)
{
    c.Frame3 = addFrame(client, "Frame3", "Bar Information");
    addSettingsRow(client, c, {"Label1", "Length"}, Box::Length, "length", {"Label4", "Bars"},
                   "Bars in the piece");
    addSettingsRow(client, c, {"Label2", "Intro"}, Box::Intro, "intro", {"Label5", "Bars"},
                   "Bars of introduction before every pass");
    addSettingsRow(client, c, {"Label3", "Repeat"}, Box::Repeat, "repeat", {"Label6", "Times"},
                   "Times the piece is played at each speed");

    c.Frame4 = addFrame(client, "Frame4", "Beat Information");
    const char* perMinute = "Beats per minute";
    addSettingsRow(client, c, {"Label10", "Starting speed"}, Box::StartSpeed, "startspeed",
                   {"Label7", "Beats/Min"}, perMinute);
    addSettingsRow(client, c, {"Label18", "Maximum speed"}, Box::MaxSpeed, "maxspeed",
                   {"Label8", "Beats/Min"}, perMinute);
    addSettingsRow(client, c, {"Label12", "Skip increase"}, Box::Skip, "skip",
                   {"Label9", "Beats/Min"}, perMinute);
    addSettingsRow(client, c, {"Label11", "Linear increase"}, Box::Linear, "linear",
                   {"Label20", "Beats/Min"}, perMinute);
}

void buildOptionFrames(QWidget* client, Form1Controls& c)
{
    c.Frame1 = addFrame(client, "Frame1", "Timing");
    addOption(client, c, Option::FourFour, "fourfour", "4/4");
    addOption(client, c, Option::ThreeFour, "threefour", "3/4");
    addOption(client, c, Option::TwoFour, "twofour", "2/4");

    c.Frame2 = addFrame(client, "Frame2", "Increase Type");
    addOption(client, c, Option::IncLinear, "inclinear", "Linear");
    addOption(client, c, Option::IncSkip, "incskip", "Skip");
}

void buildCurrentStatus(QWidget* client, Form1Controls& c)
{
    c.Frame5 = addFrame(client, "Frame5", "Current Status");

    addStatusCaption(client, "Label13", "Speed", Qt::AlignRight);
    addStatusValue(client, c, StatusLabel::Speed, "speedlabel", "Speed in beats per minute");
    addStatusCaption(client, "Label17", "Beats/Min", Qt::AlignLeft);

    addStatusCaption(client, "Label15", "At Bar", Qt::AlignRight);
    addStatusValue(client, c, StatusLabel::Bar, "barlabel", "At bar");
    addStatusCaption(client, "Label16", "of", Qt::AlignLeft);
    addStatusValue(client, c, StatusLabel::BarTotal, "bartotallabel", "Bar total");

    addStatusCaption(client, "Label14", "Repeat", Qt::AlignRight);
    addStatusValue(client, c, StatusLabel::Repeat, "repeatlabel", "Repeat");
    addStatusCaption(client, "Label19", "of", Qt::AlignLeft);
    addStatusValue(client, c, StatusLabel::RepeatTotal, "repeattotallabel", "Repeat total");

    addStatusValue(client, c, StatusLabel::Beat, "beatlabel", "Beat", 24);
}

void buildButtons(QWidget* client, Form1Controls& c)
{
    c.Command2 = addButton(client, "Command2", "START", "Check the settings and start a run");
    c.Command3 = addButton(client, "Command3", "STOP", "Stop the run");
    c.Command4 = addButton(client, "Command4", "PAUSE", "Pause or resume the run");
    c.Command1 = addButton(client, "Command1", "QUIT", "End the program");
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
    client->setObjectName(latin1(kForm1Client));
    Form1Controls controls;
    buildSettingsFrames(client, controls);
    buildOptionFrames(client, controls);
    buildCurrentStatus(client, controls);
    buildButtons(client, controls);

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
