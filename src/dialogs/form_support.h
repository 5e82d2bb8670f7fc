#pragma once

#include <QWidget>

#include <functional>

namespace dialogs {

// Runs an event handler with the runtime's reaction to an unhandled error: the description in a
// message box, then the program ends. No error ever reaches Qt's event loop.
void handler(const std::function<void()>& body);

// Makes owner (or nobody) the owner of a top-level window and centres it on the owner (or screen).
void setOwner(QWidget& window, QWidget* owner);

// Every window of the program is created once and destroyed with the application object, before
// Qt's own teardown; call this from each window's instance function.
void destroyWithApplication(std::function<void()> destroy);

} // namespace dialogs
