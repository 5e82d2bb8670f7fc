#include "suites.h"

#include <QApplication>

#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], EndProgramChildArgument) == 0)
        return runEndProgramChild(argc, argv);

    QApplication app(argc, argv);
    int failed = 0;
    for (const auto run : {runMessageBoxTests, runScreenTests, runLoadedWindowTests, runEndProgramTests,
                           runErrorHandlingTests})
        failed += run(argc, argv);
    return failed;
}
