#include "suites.h"

#include <QApplication>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Scenarios that end the program for real run as a child process of the test, before any test runs.
    const QByteArray child = qgetenv("PLENVARO_APP_TEST_CHILD");
    if (!child.isEmpty())
        return runChildScenario(QString::fromUtf8(child));

    int failed = 0;
    for (const auto run : {runMainWindowTests, runAppRulesTests})
        failed += run(argc, argv);
    return failed;
}
