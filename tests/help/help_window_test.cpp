#include "help_window_probe.h"

#include "toolkit/twips.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace {

using tavro::ui::HelpWindow;
using tavro::ui::twipsRect;

QString shown(const std::string& text) { return QString::fromStdString(text); }

class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    std::unique_ptr<HelpWindow> window = std::make_unique<HelpWindow>();
    HelpWindowProbe probe{window.get()};
};

TEST_F(HelpWindowTest, OpensOnOverviewScrolledToTop)
{
    EXPECT_EQ(window->objectName(), "frmTip");
    EXPECT_EQ(window->windowTitle(), "Help");
    EXPECT_EQ(probe.title()->caption(), "OVERVIEW");
    EXPECT_EQ(probe.text()->caption(), shown(window->texts().overviewtext));
    EXPECT_EQ(probe.scrollBar()->value(), 0);
    EXPECT_EQ(window->lastScroll(), 0);
    probe.expectTops(600, 120);
}

// The caption keeps its carriage returns; the label is given line feeds to display them.
TEST_F(HelpWindowTest, TextIsDisplayedWithLineFeedsButKeptWithCarriageReturns)
{
    const QString caption = probe.text()->caption();
    EXPECT_EQ(caption.count(QChar(u'\r')), 11);
    EXPECT_FALSE(caption.contains(QChar(u'\n')));
    QString expectedDisplay = caption;
    expectedDisplay.replace(QChar(u'\r'), QChar(u'\n'));
    EXPECT_EQ(probe.text()->text(), expectedDisplay);
}

TEST_F(HelpWindowTest, EachTopicButtonShowsItsTitleAndText)
{
    struct Topic {
        const char* button;
        const char* title;
        const std::string& text;
    };
    const tavro::HelpTexts& texts = window->texts();
    const std::vector<Topic> topics = {
        {"Command1", "METRONOME", texts.metronometext},
        {"Command2", "BUILDING SPEED", texts.buildingtext},
        {"Command5", "LINEAR INCREASE", texts.lineartext},
        {"Command4", "SKIP INCREASE", texts.skiptext},
        {"cmdNextTip", "OVERVIEW", texts.overviewtext},
    };
    const QString firstShown = probe.text()->caption();
    for (const Topic& topic : topics) {
        probe.click(topic.button);
        EXPECT_EQ(probe.title()->caption(), topic.title) << topic.button;
        EXPECT_EQ(probe.text()->caption(), shown(topic.text)) << topic.button;
        probe.expectTops(600, 120);
    }
    EXPECT_EQ(probe.text()->caption(), firstShown);
}

// A topic chosen while scrolled appears at the same offset; scrolling back restores the
// design tops.
TEST_F(HelpWindowTest, ArrowClicksMoveBothLabelsAndTopicsKeepTheOffset)
{
    for (int i = 0; i < 3; ++i) {
        probe.clickScrollBar(QStyle::SC_ScrollBarAddLine);
    }
    EXPECT_EQ(probe.scrollBar()->value(), 300);
    probe.expectTops(300, -180);

    probe.click("Command1");
    EXPECT_EQ(probe.title()->caption(), "METRONOME");
    probe.expectTops(300, -180);
    EXPECT_EQ(probe.scrollBar()->value(), 300);

    for (int i = 0; i < 3; ++i) {
        probe.clickScrollBar(QStyle::SC_ScrollBarSubLine);
    }
    EXPECT_EQ(probe.scrollBar()->value(), 0);
    EXPECT_EQ(window->lastScroll(), 0);
    probe.expectTops(600, 120);
    EXPECT_EQ(probe.text()->pos(), twipsRect(120, 600, 0, 0).topLeft());
}

TEST_F(HelpWindowTest, TroughClickMovesByAPage)
{
    probe.clickScrollBar(QStyle::SC_ScrollBarAddPage);
    EXPECT_EQ(probe.scrollBar()->value(), 400);
    probe.expectTops(200, -280);
    probe.clickScrollBar(QStyle::SC_ScrollBarSubPage);
    probe.expectTops(600, 120);
}

// The bar does not track: the labels stay put while the thumb is held and move in one
// step by the whole distance when it is let go.
TEST_F(HelpWindowTest, DraggedThumbMovesLabelsOnceOnRelease)
{
    QScrollBar* bar = probe.scrollBar();
    bar->setSliderDown(true);
    for (int position : {500, 1200, 2000}) {
        bar->setSliderPosition(position);
        probe.expectTops(600, 120);
    }
    bar->setSliderDown(false);
    EXPECT_EQ(bar->value(), 2000);
    probe.expectTops(-1400, -1880);
    EXPECT_EQ(window->lastScroll(), 2000);
}

TEST_F(HelpWindowTest, MouseDragOfTheThumbMovesLabelsOnlyAfterRelease)
{
    QScrollBar* bar = probe.scrollBar();
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.maximum = bar->maximum();
    option.pageStep = bar->pageStep();
    option.singleStep = bar->singleStep();
    const QPoint grip =
        bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar)
            .center();

    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, grip);
    QTest::mouseMove(bar, grip + QPoint(0, 60));
    EXPECT_GT(bar->sliderPosition(), 0);
    probe.expectTops(600, 120);
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, grip + QPoint(0, 60));

    const int value = bar->value();
    EXPECT_GT(value, 0);
    probe.expectTops(600.0F - value, 120.0F - value);
}

TEST_F(HelpWindowTest, ValueAtMaximumRaisesLabelsToTheirLowestTops)
{
    probe.scrollBar()->setValue(5000);
    probe.expectTops(-4400, -4880);
    // Pixel tops are the nearest whole pixels to the twips tops.
    EXPECT_EQ(probe.text()->y(), -293);
    EXPECT_EQ(probe.title()->y(), -325);
    probe.click("Command5");
    probe.expectTops(-4400, -4880);
}

TEST_F(HelpWindowTest, ControlsStandWhereTheLayoutPutsThem)
{
    EXPECT_EQ(window->size(), QSize(591, 323));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    const struct {
        const char* name;
        QRect twips;
    } layout[] = {
        {"cmdNextTip", QRect(120, 120, 1335, 375)}, {"Command1", QRect(120, 720, 1335, 375)},
        {"Command2", QRect(120, 1320, 1335, 375)},  {"Command5", QRect(120, 1920, 1335, 375)},
        {"Command4", QRect(120, 2520, 1335, 375)},  {"Command7", QRect(120, 4320, 1335, 375)},
        {"Picture1", QRect(1560, 120, 6975, 4575)}, {"Label1", QRect(2160, 120, 3255, 375)},
        {"lblTipText", QRect(120, 600, 6735, 6840)}, {"VScroll1", QRect(8520, 120, 255, 4575)},
    };
    QWidget* panel = probe.child<QWidget>("Picture1");
    for (const auto& control : layout) {
        const QRect& t = control.twips;
        QWidget* widget = probe.child<QWidget>(control.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(), twipsRect(t.x(), t.y(), t.width(), t.height()))
            << control.name;
    }
    EXPECT_EQ(probe.title()->parentWidget(), panel);
    EXPECT_EQ(probe.text()->parentWidget(), panel);

    // The text label keeps its size whatever it shows; longer text is cut off.
    probe.click("Command5");
    EXPECT_EQ(probe.text()->size(), twipsRect(0, 0, 6735, 6840).size());
}

TEST_F(HelpWindowTest, KeyboardOrderFollowsTheDesignAndControlsAreNamed)
{
    const std::vector<QString> expected = {"cmdNextTip", "Picture1", "Command1", "Command2",
                                           "Command4",   "Command5", "VScroll1", "Command7"};
    std::vector<QString> order;
    QWidget* widget = probe.child<QWidget>("cmdNextTip");
    do {
        if (widget->focusPolicy() & Qt::TabFocus) {
            order.push_back(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != probe.child<QWidget>("cmdNextTip"));
    EXPECT_EQ(order, expected);

    for (const QString& name : expected) {
        QWidget* control = probe.child<QWidget>(name.toLatin1().constData());
        EXPECT_FALSE(control->accessibleName().isEmpty()) << name.toStdString();
    }
}

TEST_F(HelpWindowTest, FrameOffersNoMinimiseOrMaximise)
{
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
}

}  // namespace
