#include "help/help_window_holder.h"

#include "help_window_probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

namespace {

using tavro::ui::HelpWindow;

class HelpWindowHolderTest : public ::testing::Test {
protected:
    void TearDown() override { tavro::ui::closeHelpWindow(holder); }

    HelpWindow* showAndExpose()
    {
        HelpWindow* window = tavro::ui::showHelpWindow(holder);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    static void runDeferredDeletes()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QPointer<HelpWindow> holder;
};

TEST_F(HelpWindowHolderTest, FirstRequestCreatesAVisibleWindowCentredOnTheScreen)
{
    ASSERT_TRUE(holder.isNull());
    HelpWindow* window = showAndExpose();
    ASSERT_EQ(holder.data(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), nullptr);

    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint offset = window->frameGeometry().center() - screenCentre;
    EXPECT_LE(offset.manhattanLength(), 1) << offset.x() << "," << offset.y();
}

TEST_F(HelpWindowHolderTest, AnotherRequestLeavesAVisibleWindowAsItIs)
{
    HelpWindow* window = showAndExpose();
    HelpWindowProbe probe(window);
    probe.click("Command2");
    probe.scrollBar()->setValue(700);
    const QPoint position = window->pos();

    EXPECT_EQ(tavro::ui::showHelpWindow(holder), window);
    EXPECT_EQ(window->pos(), position);
    EXPECT_EQ(probe.title()->caption(), "BUILDING SPEED");
    EXPECT_EQ(probe.scrollBar()->value(), 700);
    probe.expectTops(-100, -580);
}

TEST_F(HelpWindowHolderTest, OkHidesAndTheNextRequestShowsTheSameTopicAndOffset)
{
    HelpWindow* window = showAndExpose();
    HelpWindowProbe probe(window);
    for (int i = 0; i < 3; ++i) {
        probe.clickScrollBar(QStyle::SC_ScrollBarAddLine);
    }
    probe.click("Command1");
    probe.click("Command7");
    runDeferredDeletes();
    ASSERT_EQ(holder.data(), window) << "OK must hide, not destroy";
    EXPECT_FALSE(window->isVisible());

    EXPECT_EQ(showAndExpose(), window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(probe.title()->caption(), "METRONOME");
    EXPECT_EQ(probe.text()->caption(), QString::fromStdString(window->texts().metronometext));
    EXPECT_EQ(probe.scrollBar()->value(), 300);
    probe.expectTops(300, -180);
}

// Closing through the frame discards the window; the next request loads a new one.
TEST_F(HelpWindowHolderTest, ClosedWindowIsLoadedAfreshByTheNextRequest)
{
    HelpWindow* first = showAndExpose();
    const tavro::HelpTexts firstTexts = first->texts();
    {
        HelpWindowProbe probe(first);
        probe.click("Command4");
        probe.scrollBar()->setValue(1600);
    }
    EXPECT_TRUE(first->close());
    runDeferredDeletes();
    ASSERT_TRUE(holder.isNull());

    HelpWindow* second = showAndExpose();
    HelpWindowProbe probe(second);
    EXPECT_EQ(probe.title()->caption(), "OVERVIEW");
    EXPECT_EQ(probe.scrollBar()->value(), 0);
    EXPECT_EQ(second->lastScroll(), 0);
    probe.expectTops(600, 120);
    EXPECT_EQ(second->texts().overviewtext, firstTexts.overviewtext);
    EXPECT_EQ(second->texts().skiptext, firstTexts.skiptext);
}

TEST_F(HelpWindowHolderTest, ClosingFromTheMainWindowDestroysEvenAHiddenWindow)
{
    HelpWindow* window = showAndExpose();
    HelpWindowProbe(window).click("Command7");
    tavro::ui::closeHelpWindow(holder);
    EXPECT_TRUE(holder.isNull());
    tavro::ui::closeHelpWindow(holder);
    EXPECT_TRUE(holder.isNull());
}

}  // namespace
