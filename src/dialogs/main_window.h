#pragma once

#include <QWidget>

namespace dialogs {

// The program's main window, as the dialogs see it: whether it is shown, and its caption.
void setMainWindow(QWidget* window);
QWidget* mainWindow();

} // namespace dialogs
