#include "platform/forms/beep.h"

#include <QApplication>

namespace forms {
namespace {

int& count()
{
    static int beeps = 0;
    return beeps;
}

} // namespace

void beep()
{
    ++count();
    if (qGuiApp != nullptr)
        QApplication::beep();
}

int beepCount()
{
    return count();
}

void resetBeepCount()
{
    count() = 0;
}

} // namespace forms
