#include <QApplication>

#include <gtest/gtest.h>

// The window tests need a QApplication; without a display they run on the offscreen
// platform (listing the tests at build time must work without one, too).
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
