#include "platform/forms/mouse_pointer.h"

#include <QCursor>
#include <QGuiApplication>

namespace forms {
namespace {

// What this module put on the override stack; at most one entry, so one restore undoes it.
Pointer& current()
{
    static Pointer pointer = Pointer::Default;
    return pointer;
}

} // namespace

void setMousePointer(Pointer pointer)
{
    if (pointer == current())
        return;
    current() = pointer;
    if (qGuiApp == nullptr)
        return;
    if (pointer == Pointer::Hourglass)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

Pointer mousePointer()
{
    return current();
}

} // namespace forms
