#include "main_window.h"

#include <QPointer>

namespace dialogs {
namespace {

QPointer<QWidget>& registered()
{
    static QPointer<QWidget> window;
    return window;
}

} // namespace

void setMainWindow(QWidget* window)
{
    registered() = window;
}

QWidget* mainWindow()
{
    return registered();
}

} // namespace dialogs
