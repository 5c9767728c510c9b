#include "help/help_window.h"

#include "help/twips_label.h"
#include "toolkit/accessible_role.h"
#include "toolkit/fonts.h"
#include "toolkit/twips.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>

namespace tavro::ui {

namespace {

constexpr double kClientWidth = 8865;
constexpr double kClientHeight = 4845;

// The panel's design tops of its two labels; scrolling raises both by the same amount.
constexpr float kTitleTop = 120;
constexpr float kTextTop = 600;

// The topic buttons stand in a column, one below the other in the order of the topics.
constexpr double kFirstTopicTop = 120;
constexpr double kTopicSpacing = 600;

QString fromView(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, double top,
                        const QString& accessibleName, const QString& accessibleDescription)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(twipsRect(120, top, 1335, 375));
    button->setAccessibleName(accessibleName);
    button->setAccessibleDescription(accessibleDescription);
    return button;
}

void paintWhite(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QPushButton* topicButton(QWidget* parent, const HelpTopic& topic, double top)
{
    const QString name = fromView(topic.button);
    const QString caption = fromView(topic.caption);
    return makeButton(parent, name, caption, top, QStringLiteral("%1 topic").arg(caption),
                      QStringLiteral("Shows the %1 help topic").arg(caption));
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setAccessibleRole(this, QAccessible::Window);  // a window (a frame), as the main one
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("Help"));
    setFont(dialogFont());
    setFixedSize(twipsToPixels(kClientWidth), twipsToPixels(kClientHeight));

    createControls();
    setTabOrder();
    connectHandlers();
    Form_Load();
}

void HelpWindow::createControls()
{
    for (std::size_t i = 0; i < kHelpTopics.size(); ++i) {
        topicButtons_[i] = topicButton(this, kHelpTopics[i], kFirstTopicTop + kTopicSpacing * i);
    }
    Command7_ = makeButton(this, QStringLiteral("Command7"), QStringLiteral("OK"), 4320,
                           QStringLiteral("OK"), QStringLiteral("Hides the help window"));

    // A plain widget clips its children to its own rectangle, so the panel's inner area
    // is the whole widget: label tops are measured from its upper edge. Its outline is
    // drawn by the window just outside it (see paintEvent), where no label can cover it.
    Picture1_ = new QWidget(this);
    Picture1_->setObjectName(QStringLiteral("Picture1"));
    Picture1_->setGeometry(twipsRect(1560, 120, 6975, 4575));
    paintWhite(Picture1_);
    Picture1_->setFocusPolicy(Qt::TabFocus);
    Picture1_->setAccessibleName(QStringLiteral("Help topic"));
    Picture1_->installEventFilter(this);

    Label1_ = new TwipsLabel(Picture1_, 2160, kTitleTop, 3255, 375);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Label1_->setFont(msSansSerif(12.0, true, true));
    Label1_->setAlignment(Qt::AlignCenter);
    paintWhite(Label1_);
    Label1_->setCaption(QStringLiteral("OVERVIEW"));

    lblTipText_ = new TwipsLabel(Picture1_, 120, kTextTop, 6735, 6840);
    lblTipText_->setObjectName(QStringLiteral("lblTipText"));
    lblTipText_->setFont(faceOrSans(QStringLiteral("Arial"), 8.25));
    lblTipText_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTipText_->setWordWrap(true);
    paintWhite(lblTipText_);

    // Created after the panel so that it stands in front of the panel's last pixel
    // column, which the design lets the two overlap by.
    VScroll1_ = new QScrollBar(Qt::Vertical, this);
    VScroll1_->setObjectName(QStringLiteral("VScroll1"));
    VScroll1_->setGeometry(twipsRect(8520, 120, 255, 4575));
    VScroll1_->setRange(0, 5000);
    VScroll1_->setSingleStep(100);
    VScroll1_->setPageStep(400);
    VScroll1_->setValue(0);
    // Without tracking, valueChanged comes only once a dragged thumb is released, so the
    // labels never move while the user is still dragging.
    VScroll1_->setTracking(false);
    VScroll1_->setFocusPolicy(Qt::StrongFocus);
    VScroll1_->setAccessibleName(QStringLiteral("Scroll help text"));
    VScroll1_->setAccessibleDescription(
        QStringLiteral("Moves the topic title and text up and down"));
}

// Skip Increase comes before Linear Increase in the keyboard order, although it stands
// below it on screen.
void HelpWindow::setTabOrder()
{
    const auto& topics = topicButtons_;  // Overview, Metronome, Building, Linear, Skip
    QWidget* const order[] = {topics[0], Picture1_, topics[1], topics[2],
                              topics[4], topics[3], VScroll1_, Command7_};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
}

void HelpWindow::connectHandlers()
{
    for (std::size_t i = 0; i < kHelpTopics.size(); ++i) {
        const HelpTopic& topic = kHelpTopics[i];
        connect(topicButtons_[i], &QPushButton::clicked, this,
                [this, &topic] { showTopic(topic); });
    }
    connect(Command7_, &QPushButton::clicked, this, &HelpWindow::Command7_Click);
    connect(VScroll1_, &QScrollBar::valueChanged, this, &HelpWindow::VScroll1_Change);
}

void HelpWindow::Form_Load()
{
    scrolldelta_ = 0;
    scrollvalue_ = 0;
    lastscroll_ = 0;
    buildHelpTexts(texts_);
    showTopic(kHelpTopics.front());
}

// What each topic button's click runs (cmdNextTip_Click, Command1_Click, ...). It changes
// only the two captions: the labels stay where the scroll bar put them, so a new topic
// appears at the current scroll offset.
void HelpWindow::showTopic(const HelpTopic& topic)
{
    lblTipText_->setCaption(QString::fromStdString(texts_.*topic.text));
    Label1_->setCaption(fromView(topic.title));
}

// OK only hides: the window keeps its topic, scroll position and texts for the next show.
void HelpWindow::Command7_Click() { hide(); }

// The labels move by the difference from the value applied last, not to a position
// computed from the value, and the title moves together with the text.
void HelpWindow::VScroll1_Change()
{
    labeltop_ = lblTipText_->topTwips();
    titletop_ = Label1_->topTwips();
    scrollvalue_ = static_cast<std::int16_t>(VScroll1_->value());
    scrolldelta_ = static_cast<std::int16_t>(scrollvalue_ - lastscroll_);
    lastscroll_ = scrollvalue_;
    lblTipText_->setTopTwips(labeltop_ - scrolldelta_);
    Label1_->setTopTwips(titletop_ - scrolldelta_);
}

// The panel's outline, one pixel outside it; while the panel has keyboard focus a second,
// highlighted ring shows where the focus is.
void HelpWindow::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    const QRect panel = Picture1_->geometry();
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(panel.adjusted(-1, -1, 0, 0));
    if (Picture1_->hasFocus()) {
        painter.setPen(palette().color(QPalette::Highlight));
        painter.drawRect(panel.adjusted(-2, -2, 1, 1));
    }
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Picture1_
        && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        update();
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tavro::ui
