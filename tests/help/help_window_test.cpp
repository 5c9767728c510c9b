#include "help/help_window.h"
#include "help/help_window_holder.h"
#include "help/twips_label.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tavro::ui::HelpWindow;
using tavro::ui::TwipsLabel;

// The one help window as the main window's Instructions command shows it, worked
// through its controls as a user would.
class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override { request(); }
    void TearDown() override { tavro::ui::closeHelpWindow(holder); }

    HelpWindow* request()
    {
        HelpWindow* window = tavro::ui::showHelpWindow(holder);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    template <class T = QWidget>
    T* child(const char* name) const
    {
        T* widget = holder->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    TwipsLabel* title() const { return child<TwipsLabel>("Label1"); }
    TwipsLabel* text() const { return child<TwipsLabel>("lblTipText"); }
    QScrollBar* bar() const { return child<QScrollBar>("VScroll1"); }
    void click(const char* button) const { QTest::mouseClick(child(button), Qt::LeftButton); }

    // As a click on an arrow (single step) or in the trough (page step) does.
    void scroll(QAbstractSlider::SliderAction action, int times = 1) const
    {
        for (int i = 0; i < times; ++i)
            bar()->triggerAction(action);
    }

    void expectTops(float textTop, float titleTop) const
    {
        EXPECT_EQ(text()->topTwips(), textTop);
        EXPECT_EQ(title()->topTwips(), titleTop);
    }

    QPointer<HelpWindow> holder;
};

TEST_F(HelpWindowTest, OpensOnOverviewAndEachTopicButtonShowsItsText)
{
    EXPECT_EQ(holder->windowTitle(), "Help");
    EXPECT_EQ(title()->caption(), "OVERVIEW");
    const QString overview = QString::fromStdString(holder->texts().overviewtext);
    EXPECT_EQ(text()->caption(), overview);
    // The caption keeps its carriage returns; the label displays them as line breaks.
    EXPECT_EQ(text()->text(), QString(overview).replace(QChar(u'\r'), QChar(u'\n')));
    EXPECT_EQ(bar()->value(), 0);
    expectTops(600, 120);

    const tavro::HelpTexts& texts = holder->texts();
    const std::pair<const char*, const std::string&> topics[] = {
        {"METRONOME", texts.metronometext},    {"BUILDING SPEED", texts.buildingtext},
        {"LINEAR INCREASE", texts.lineartext}, {"SKIP INCREASE", texts.skiptext},
        {"OVERVIEW", texts.overviewtext},
    };
    const char* buttons[] = {"Command1", "Command2", "Command5", "Command4", "cmdNextTip"};
    for (int i = 0; i < 5; ++i) {
        click(buttons[i]);
        EXPECT_EQ(title()->caption(), topics[i].first);
        EXPECT_EQ(text()->caption(), QString::fromStdString(topics[i].second)) << buttons[i];
    }
}

// Both labels move by the change of the value, and a topic keeps the offset.
TEST_F(HelpWindowTest, ArrowsTroughAndThumbMoveBothLabelsByTheChange)
{
    scroll(QAbstractSlider::SliderSingleStepAdd, 3);
    EXPECT_EQ(bar()->value(), 300);
    click("Command1");
    expectTops(300, -180);
    scroll(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar()->value(), 700);
    expectTops(-100, -580);
    scroll(QAbstractSlider::SliderPageStepSub);
    scroll(QAbstractSlider::SliderSingleStepSub, 3);
    EXPECT_EQ(holder->lastScroll(), 0);
    expectTops(600, 120);

    // Nothing moves while the thumb is dragged; the labels move when it is let go.
    bar()->setSliderDown(true);
    for (int position : {500, 1200, 2000}) {
        bar()->setSliderPosition(position);
        expectTops(600, 120);
    }
    bar()->setSliderDown(false);
    expectTops(-1400, -1880);

    bar()->setValue(5000);
    expectTops(-4400, -4880);
    // Pixel tops are the nearest whole pixels; the text label keeps its size whatever
    // it shows, so a long text is cut off.
    EXPECT_EQ(text()->geometry(), QRect(8, -293, 449, 456));
    EXPECT_EQ(title()->y(), -325);
}

TEST_F(HelpWindowTest, ControlsStandAtTheirPlacesInTheirFocusOrder)
{
    EXPECT_EQ(holder->size(), QSize(591, 323));
    EXPECT_EQ(holder->minimumSize(), holder->maximumSize());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((holder->frameGeometry().center() - screenCentre).manhattanLength(), 1);
    const struct {
        const char* name;
        int left, top, width, height;
    } layout[] = {
        // the focus order, then the labels inside the panel
        {"cmdNextTip", 120, 120, 1335, 375}, {"Picture1", 1560, 120, 6975, 4575},
        {"Command1", 120, 720, 1335, 375},   {"Command2", 120, 1320, 1335, 375},
        {"Command4", 120, 2520, 1335, 375},  {"Command5", 120, 1920, 1335, 375},
        {"VScroll1", 8520, 120, 255, 4575},  {"Command7", 120, 4320, 1335, 375},
        {"Label1", 2160, 120, 3255, 375},    {"lblTipText", 120, 600, 6735, 6840},
    };
    std::vector<std::string> expectedOrder;
    for (const auto& c : layout) {
        const QRect twips(c.left, c.top, c.width, c.height);
        EXPECT_EQ(child(c.name)->geometry(), QRect(twips.topLeft() / 15, twips.size() / 15))
            << c.name;
        if (child(c.name)->parentWidget() != child("Picture1"))
            expectedOrder.push_back(c.name);
    }
    std::vector<std::string> order;
    QWidget* widget = child("cmdNextTip");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order.push_back(widget->objectName().toStdString());
        widget = widget->nextInFocusChain();
    } while (widget != child("cmdNextTip"));
    EXPECT_EQ(order, expectedOrder);
}

// OK only hides: the next request shows the same window, topic and offset. Closing
// through the frame discards it, and the next request loads a new one.
TEST_F(HelpWindowTest, HiddenByOkShownAsItWasLeftClosedAndLoadedAfresh)
{
    HelpWindow* window = holder;
    click("Command1");
    scroll(QAbstractSlider::SliderSingleStepAdd, 3);
    EXPECT_EQ(request(), window);  // while visible
    click("Command7");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(holder.data(), window);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(request(), window);
    EXPECT_EQ(title()->caption(), "METRONOME");
    EXPECT_EQ(bar()->value(), 300);
    expectTops(300, -180);

    EXPECT_TRUE(window->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(holder.isNull());
    request();
    EXPECT_EQ(title()->caption(), "OVERVIEW");
    EXPECT_EQ(bar()->value(), 0);
    EXPECT_EQ(holder->lastScroll(), 0);
    expectTops(600, 120);

    // The main window, closing, destroys even a hidden help window.
    click("Command7");
    tavro::ui::closeHelpWindow(holder);
    EXPECT_TRUE(holder.isNull());
}

}  // namespace
