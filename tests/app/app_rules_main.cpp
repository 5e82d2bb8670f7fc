// The rules alone, for where the main window's suite cannot run (see CMakeLists.txt).
#include "suites.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return runAppRulesTests(argc, argv);
}
