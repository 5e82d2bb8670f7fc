// GoogleTest with a widget application on the offscreen platform.
#include <QApplication>

#include <gtest/gtest.h>

int childScenario(const QString& name); // tst_fm_start.cpp

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Scenarios that end the program for real run as a child process of the test.
    const QByteArray child = qgetenv("PLENVARO_APP_TEST_CHILD");
    if (!child.isEmpty())
        return childScenario(QString::fromUtf8(child));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
