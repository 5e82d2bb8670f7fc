#include "platform/forms/loaded_windows.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace forms {
namespace {

struct LoadedWindow
{
    QWidget* window;
    UnloadHandler onUnload;
    QMetaObject::Connection destroyed;
    bool unloading = false;
};

std::vector<LoadedWindow>& windows()
{
    static std::vector<LoadedWindow> list;
    return list;
}

// Compares addresses only, so a pointer to a window deleted meanwhile is never dereferenced.
std::vector<LoadedWindow>::iterator find(const QWidget* window)
{
    auto& list = windows();
    return std::find_if(list.begin(), list.end(),
                        [window](const LoadedWindow& w) { return w.window == window; });
}

void drop(const QWidget* window)
{
    const auto it = find(window);
    if (it == windows().end())
        return;
    QObject::disconnect(it->destroyed);
    windows().erase(it);
}

} // namespace

void registerWindow(QWidget* window, UnloadHandler onUnload)
{
    if (window == nullptr || find(window) != windows().end())
        return;
    const auto connection = QObject::connect(window, &QObject::destroyed, window, [window] { drop(window); });
    windows().push_back({window, std::move(onUnload), connection});
}

QList<QWidget*> loadedWindows()
{
    QList<QWidget*> result;
    result.reserve(static_cast<qsizetype>(windows().size()));
    for (const LoadedWindow& loaded : windows())
        result.append(loaded.window);
    return result;
}

bool isLoaded(const QWidget* window)
{
    return find(window) != windows().end();
}

bool unloadWindow(QWidget* window)
{
    const auto it = find(window);
    if (it == windows().end() || it->unloading)
        return false;

    // The handler may unload other windows (moving entries) or delete this one, so copy and re-find.
    const UnloadHandler onUnload = it->onUnload;
    const QPointer<QWidget> guard(window);
    if (onUnload) {
        it->unloading = true;
        try {
            onUnload();
        } catch (...) {
            if (const auto again = find(window); again != windows().end())
                again->unloading = false;
            throw;
        }
    }
    if (guard.isNull())
        return true;
    drop(window);
    window->hide();
    if (window->testAttribute(Qt::WA_DeleteOnClose))
        window->deleteLater();
    return true;
}

void forgetLoadedWindows()
{
    for (const LoadedWindow& loaded : windows())
        QObject::disconnect(loaded.destroyed);
    windows().clear();
}

} // namespace forms
