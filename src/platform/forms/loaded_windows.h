#pragma once

#include <QList>

#include <functional>

class QWidget;

namespace forms {

// The window's own unload code (save settings, unload its child windows, ...). It runs while the window
// is still listed; if it throws, the window stays loaded.
using UnloadHandler = std::function<void()>;

// Lists a top-level window as loaded, at the end. A window deleted by any other means leaves the list
// by itself (its handler does not run then). Registering a listed window again changes nothing.
void registerWindow(QWidget* window, UnloadHandler onUnload = {});

// Oldest first.
QList<QWidget*> loadedWindows();
bool isLoaded(const QWidget* window);

// Runs the handler, takes the window off the list and hides it; a window with Qt::WA_DeleteOnClose is
// then deleted later, others stay with their owner. Returns false if the window was not loaded (or is
// unloading already, when its own handler asks again). Safe with stale pointers from an older list.
bool unloadWindow(QWidget* window);

// Empties the list without running any handler, for tests.
void forgetLoadedWindows();

} // namespace forms
