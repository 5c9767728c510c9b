#pragma once

#include "help/help_window.h"
#include "help/twips_label.h"

#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

// Finds the help window's controls by their names and works them as a user would.
class HelpWindowProbe {
public:
    explicit HelpWindowProbe(tavro::ui::HelpWindow* window) : window_(window) {}

    template <class T>
    T* child(const char* name) const
    {
        T* widget = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    tavro::ui::TwipsLabel* title() const { return child<tavro::ui::TwipsLabel>("Label1"); }
    tavro::ui::TwipsLabel* text() const { return child<tavro::ui::TwipsLabel>("lblTipText"); }
    QScrollBar* scrollBar() const { return child<QScrollBar>("VScroll1"); }

    void click(const char* buttonName) const
    {
        QTest::mouseClick(child<QPushButton>(buttonName), Qt::LeftButton);
    }

    // Clicks the part of the scroll bar named by `part`: an arrow or the trough.
    void clickScrollBar(QStyle::SubControl part) const
    {
        QScrollBar* bar = scrollBar();
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.subControls = QStyle::SC_All;
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        const QRect area = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
        ASSERT_FALSE(area.isEmpty());
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, area.center());
    }

    void expectTops(float textTop, float titleTop) const
    {
        EXPECT_EQ(text()->topTwips(), textTop);
        EXPECT_EQ(title()->topTwips(), titleTop);
    }

private:
    tavro::ui::HelpWindow* window_;
};
