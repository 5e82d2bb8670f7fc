#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace testsupport {

// Acts on modal windows as a user would: whenever a modal window with a given object name is on
// top, its action runs once for that showing. Runs inside whatever event loop the window's exec
// started, so a test can drive dialogs that the code under test shows and waits for.
class ModalDriver final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ModalDriver)

public:
    using Action = std::function<void(QWidget& window, int showing)>;

    ModalDriver();
    void on(const QString& objectName, Action action);
    int showings(const QString& objectName) const { return m_showings.value(objectName); }

private:
    void poll();

    QTimer m_timer;
    QHash<QString, Action> m_actions;
    QHash<QString, int> m_showings;
    QList<QPointer<QWidget>> m_handled; // windows acted on during their current showing
};

// Finds a named child or fails the calling test loudly.
template <typename T> T& child(QWidget& window, const QString& name)
{
    T* found = window.findChild<T*>(name);
    if (!found)
        qFatal("no child %s in %s", qPrintable(name), qPrintable(window.objectName()));
    return *found;
}

} // namespace testsupport
